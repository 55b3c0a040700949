#include "SearchProgress.h"

#include "PathForms.h"

void ProgressText::Set(const std::string& text) {
    LockScope held(m_lock);
    m_text = text;
}

std::string ProgressText::Get() const {
    LockScope held(m_lock);
    return m_text;
}

void ProgressSink::Idle() {
    const DWORD now = GetTickCount();
    if (!m_published || now - m_lastPublished >= m_periodMs) {
        char entry[kMaxPath];
        m_state.CopyLongEntryPath(entry);
        // Until the walk has met an entry there is nothing to show yet.
        if (entry[0] != '\0') {
            // The walk keeps it as column 0 shows it: stored long names.
            m_out.Set(entry);
            m_published = true;
            m_lastPublished = now;
        }
    }
    m_rows.Idle();
}
