#include "Delete.h"

Outcome DeleteListedPath(FileSystem& fs, std::u16string_view path, EntrySession& session) {
    EntryPtr entry;
    std::string longPath;
    Outcome out;
    if (!ResolveEntry(fs, path, true, entry, longPath, nullptr, out.error)) return out;
    return session.Delete(*entry);
}

Outcome DeleteListedPath(FileSystem& fs, std::string_view path, EntrySession& session) {
    WideName wide;
    if (path.empty() || !fs.ToWide(std::string(path), wide) || wide.empty()) {
        Outcome out;
        out.error = fs_error::kInvalidName;
        return out;
    }
    return DeleteListedPath(fs, std::u16string_view(wide), session);
}

bool DeleteListedPath(FileSystem& fs, std::u16string_view path) {
    EntrySession session(fs);
    return DeleteListedPath(fs, path, session).ok;
}

bool DeleteListedPath(FileSystem& fs, std::string_view path) {
    EntrySession session(fs);
    return DeleteListedPath(fs, path, session).ok;
}

bool DeleteSession::DeleteListedPath(std::u16string_view path) { return ::DeleteListedPath(m_fs, path, m_entries).ok; }

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
