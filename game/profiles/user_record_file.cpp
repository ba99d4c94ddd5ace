#include "game/profiles/user_record_file.h"

GRecordRead GUserRecordFile::Read(void* buffer)
{
    // What was found before describes a file that this read replaces.
    m_damage.clear();
    GRecordReadInfo info;
    ReadUserRecordFile(m_number, buffer, m_size, m_folder.c_str(), &info);
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
    CreateDataSubfolder(m_folder.c_str());
    const std::string name = GetFileName();
    if (!m_damage.empty()) {
        std::string reason;
        std::string text;
        const bool kept = KeepUserRecordAside(m_number, m_folder.c_str(), &reason) == 1;
        if (kept)
            text = name + " could not be used (" + m_damage + "); the old file is kept as " + name +
                   ".damaged";
        else
            text = name + " could not be used (" + m_damage + ") and cannot be kept aside (" +
                   reason + "): it is not written over";
        m_notes.push_back(text);
        ShowAlert(text.c_str());
        if (!kept)
            return 0;
        m_damage.clear();
    }
    return WriteUserRecordFile(m_number, data, m_size, m_folder.c_str());
}
