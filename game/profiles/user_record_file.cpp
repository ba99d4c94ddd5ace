#include "game/profiles/user_record_file.h"

#include "platform/files/file_system.h"

GRecordRead GUserRecordFile::Read(void* buffer)
{
    // What was found before describes a file that this read replaces.
    m_damage.clear();
    GRecordReadInfo info;
    info.quiet = true;
    ReadUserRecordFile(m_number, buffer, m_size, m_folder.c_str(), &info);
    if (!info.warnings.empty())
        m_alerts.push_back(info.warnings);
    if (info.outcome == GRecordRead::kUnreadable)
        MarkDamaged("it cannot be read: " + info.reason);
    else if (info.outcome == GRecordRead::kOtherSize)
        MarkDamaged("it is not " + std::to_string(m_size) + " bytes long");
    return info.outcome;
}

void GUserRecordFile::MarkDamaged(const std::string& why)
{
    m_notes.push_back(GetFileName() + " could not be used whole: " + why);
    m_damage = m_damage.empty() ? why : m_damage + "; " + why;
}

int GUserRecordFile::Write(const void* data)
{
    m_writeFailure.clear();
    // A file where the folder should be fails every write below; said plainly.
    if (platform::GetFileKind(m_folder.c_str()) == platform::FileKind::kFile) {
        m_writeFailure = "a file stands in the folder's place";
        return 0;
    }
    CreateDataSubfolder(m_folder.c_str());
    const std::string name = GetFileName();
    if (!m_damage.empty()) {
        std::string reason;
        const bool kept = KeepUserRecordAside(m_number, m_folder.c_str(), &reason) == 1;
        std::string text;
        if (kept)
            text = name + " could not be used (" + m_damage + "); the old file is kept as " + name +
                   ".damaged";
        else
            text = name + " could not be used (" + m_damage + ") and cannot be kept aside (" +
                   reason + "): it is not written over";
        m_notes.push_back(text);
        m_alerts.push_back(text);
        if (!kept) {
            m_writeFailure = "the old file cannot be kept aside (" + reason + ")";
            return 0;
        }
        m_damage.clear();
    }
    return WriteUserRecordFile(m_number, data, m_size, m_folder.c_str(), &m_writeFailure);
}
