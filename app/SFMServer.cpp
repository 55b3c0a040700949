#include "SFMServer.h"

#include <cstring>

namespace {

char* CopyText(const char* text) {
    const size_t size = std::strlen(text) + 1;
    char* copy = new char[size];
    std::memcpy(copy, text, size);
    return copy;
}

}  // namespace

CSFMServer::CSFMServer() { Open(nullptr, kDefaultBlockName, kDefaultBlockSize); }

CSFMServer::~CSFMServer() { Close(); }

void CSFMServer::Open(const char* fileName, const char* mapName, DWORD size) {
    if (m_bOpen) Close();
    if (fileName) m_pszFileName = CopyText(fileName);
    m_pszMapName = CopyText(mapName ? mapName : kDefaultBlockName);
    m_dwSize = size ? size : kDefaultBlockSize;

    if (m_pszFileName) {
        // A file that cannot be opened leaves the block unmade; it must not fall
        // back to the paging file, which is what INVALID_HANDLE_VALUE would mean.
        const HANDLE file = CreateFileA(m_pszFileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        m_hFile = file == INVALID_HANDLE_VALUE ? nullptr : file;
    } else {
        m_hFile = INVALID_HANDLE_VALUE;
    }

    if (m_hFile) m_hMapping = CreateFileMappingA(m_hFile, nullptr, PAGE_READWRITE, 0, m_dwSize, m_pszMapName);
    if (m_hMapping) m_pView = static_cast<char*>(MapViewOfFile(m_hMapping, FILE_MAP_ALL_ACCESS, 0, 0, m_dwSize));
    m_bOpen = 1;
}

void CSFMServer::Close() {
    if (m_pView) UnmapViewOfFile(m_pView);
    if (m_hMapping) CloseHandle(m_hMapping);
    if (m_hFile && m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
    delete[] m_pszFileName;
    delete[] m_pszMapName;
    m_hFile = nullptr;
    m_hMapping = nullptr;
    m_pView = nullptr;
    m_pszFileName = nullptr;
    m_pszMapName = nullptr;
    m_dwSize = 0;
    m_bOpen = 0;
}
