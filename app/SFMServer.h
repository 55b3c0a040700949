// A named shared-memory block (a file mapping, normally in the paging file).
#pragma once

#include <windows.h>

inline constexpr char kDefaultBlockName[] = "VSK_70041";
inline constexpr DWORD kDefaultBlockSize = 0x10000;

class CSFMServer {
public:
    // Opens the default block: no file, "VSK_70041", 65536 bytes.
    CSFMServer();
    virtual ~CSFMServer();

    CSFMServer(const CSFMServer&) = delete;
    CSFMServer& operator=(const CSFMServer&) = delete;

    // Closes what is open, then opens the block `mapName` (the default name
    // when null) of `size` bytes (65536 when 0), backed by the file
    // `fileName` or, when null, by the paging file. A second open of the same
    // name, in any process, reaches the same block. Marks the object open even
    // when the system calls fail; GetBuffer() tells whether a view exists.
    void Open(const char* fileName, const char* mapName, DWORD size);
    // Unmaps and closes everything and resets every field.
    void Close();

    // Start of the mapped view; null when there is none.
    char* GetBuffer() const { return m_pView; }

    bool IsOpen() const { return m_bOpen != 0; }
    HANDLE GetMapping() const { return m_hMapping; }
    HANDLE GetFile() const { return m_hFile; }
    const char* GetMapName() const { return m_pszMapName; }
    const char* GetFileName() const { return m_pszFileName; }
    DWORD GetSize() const { return m_dwSize; }

private:
    HANDLE m_hFile = nullptr;       // INVALID_HANDLE_VALUE: the paging file
    HANDLE m_hMapping = nullptr;    // null when creation failed
    char* m_pView = nullptr;        // null when mapping failed
    char* m_pszFileName = nullptr;  // owned copy, or null
    char* m_pszMapName = nullptr;   // owned copy
    DWORD m_dwSize = 0;
    int m_bOpen = 0;
};
