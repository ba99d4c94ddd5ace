#pragma once
// GUserRecordFile: one record file of the profiles folder and what is known of it on disk. A
// file the game could not use whole (unreadable, of another size, or found wrong by its owner's
// checks) is never written over without a copy: the first write keeps it beside the record as
// "<name>.damaged" (one copy per record, replaced each time; what is not a plain file, such as
// a pipe or a link, is moved there so the record's name is free); when even that cannot be
// done, the record is not written. Nothing here shows a box: what the player must be told is
// collected (TakeAlerts) for the owner to show together with the other records'. Main thread
// only.

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
    // not (nothing written over); GetWriteFailure() then says why.
    int Write(const void* data);

    // Lines for the program's log: what was found wrong and what was done about it.
    std::vector<std::string> TakeNotes() { return std::move(m_notes); }
    // What the player is to be told of the last reads and writes, one text each.
    std::vector<std::string> TakeAlerts() { return std::move(m_alerts); }
    const std::string& GetWriteFailure() const { return m_writeFailure; }
    bool IsDamaged() const { return !m_damage.empty(); }
    std::string GetFileName() const { return UserRecordFileName(m_number, m_folder.c_str()); }

private:
    std::string m_folder;
    int32_t m_number;
    uint32_t m_size;
    std::string m_damage; // why the file on disk must be kept; empty when it need not be
    std::string m_writeFailure;
    std::vector<std::string> m_notes;
    std::vector<std::string> m_alerts;
};
