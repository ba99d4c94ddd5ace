#pragma once
// GUserRecordFile: one record file of the profiles folder and what is known of it on disk. A
// file the game could not use whole (unreadable, of another size, or found wrong by its owner's
// checks) is never written over without a copy: the first write keeps it beside the record as
// "<name>.damaged" (one copy per record, replaced each time) and says so in an "Alert" box;
// when even that copy cannot be made, the record is not written. Main thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/files/data_files.h"

class GUserRecordFile {
public:
    GUserRecordFile(std::string folder, int32_t number, uint32_t size)
        : m_folder(std::move(folder)), m_number(number), m_size(size)
    {
    }

    // Reads the record into buffer (size bytes, zeroed first). Anything but a missing file or
    // a whole record marks the file as one to keep before it is written over.
    GRecordRead Read(void* buffer);
    // The owner found the content wrong in part: the file is kept before it is written over.
    void MarkDamaged(const std::string& why);
    // Creates the folder, keeps a damaged file aside, then replaces the record. 1 written, 0
    // not (nothing written over).
    int Write(const void* data);

    // Lines for the program's log: what was found wrong and what was done about it.
    std::vector<std::string> TakeNotes() { return std::move(m_notes); }
    bool IsDamaged() const { return !m_damage.empty(); }
    std::string GetFileName() const { return UserRecordFileName(m_number, m_folder.c_str()); }

private:
    std::string m_folder;
    int32_t m_number;
    uint32_t m_size;
    std::string m_damage; // why the file on disk must be kept; empty when it need not be
    std::vector<std::string> m_notes;
};
