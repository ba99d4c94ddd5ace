// The language dictionary as the game loads it at start-up: the input holds the start-up
// options and the dictionary file (scrambled, as shipped) separated by "#DC#". The options name
// the dictionary; it is read into the XML document, its "Dictionary" element handed to
// GDictionary::SetDataDoc, and a few keys translated.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/docs/data_doc_text.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/text/dictionary.h"
#include "foundation/text/wstring.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 18)
        return 0;
    const std::string& folder = fuzz::ScratchFolder("dictionary_load");
    const std::vector<fuzz::Bytes> parts = fuzz::SplitAt(data, size, "#DC#", 2);
    fuzz::WriteBytes(folder + "start_up_options.xml", parts[0]);
    fuzz::WriteBytes(folder + "english.dic", parts[1]);

    GXmlDataDoc options;
    std::string fileName;
    if (options.Load((folder + "start_up_options.xml").c_str(), 0))
        if (GDataDoc* root = options.GetChild("StartUpOptions"))
            fileName = datadoc::NarrowOf(root->GetAttributeString("Dictionary", ""));
    // Only the file written here is read, whatever the options name.
    if (fileName != "english.dic")
        return 0;
    GXmlDataDoc doc;
    if (!doc.Load((folder + fileName).c_str(), kDictionaryKey))
        return 0;
    GDataDoc* node = doc.GetChild("Dictionary");
    if (!node)
        return 0;
    GDictionary dictionary;
    dictionary.SetDataDoc(node);
    uint32_t sum = dictionary.GetEntryCount();
    for (const char* key : {"Hello", "", "Intro", "a\\nb"}) {
        const GWString text = dictionary.Translate(GWString(key));
        sum += static_cast<uint32_t>(text.GetLength());
    }
    fuzz::Keep(sum);
    return 0;
}
