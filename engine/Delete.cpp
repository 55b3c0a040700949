#include "Delete.h"

Outcome DeleteListedPath(FileSystem& fs, std::string_view path, EntrySession& session) {
    EntryPtr entry;
    std::string longPath;
    Outcome out;
    if (!ResolveEntry(fs, path, true, entry, longPath, nullptr, out.error)) return out;
    return session.Delete(*entry);
}

bool DeleteListedPath(FileSystem& fs, std::string_view path) {
    EntrySession session(fs);
    return DeleteListedPath(fs, path, session).ok;
}

bool DeleteSession::DeleteListedPath(std::string_view path) { return ::DeleteListedPath(m_fs, path, m_entries).ok; }

Outcome DeleteSession::Delete(const ResultRow& row) {
    if (row.entry) return m_entries.Delete(*row.entry);
    if (row.path.empty()) {
        Outcome out;
        out.error = fs_error::kFileNotFound;
        return out;
    }
    return ::DeleteListedPath(m_fs, row.path, m_entries);
}
