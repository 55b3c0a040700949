// The result list: the rows a search listed, what each one is, its check
// mark and its outcome, in the order the user sorted them. The list control
// only shows them: it is an owner-data list that asks for each text it paints,
// in UTF-16, so every row shows its exact path and name whatever the code page
// holds and however long the path is. The control keeps the selection alone.
// Used on the window's thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ListCtrl.h"
#include "ListRules.h"
#include "UiText.h"
#include "ResultRow.h"

// One row as the list holds it: a few bytes beside its entry, whose names
// give the path and the name.
struct ListedRow {
    EntryPtr entry;  // null for a row listed without one (a share, a relative root)
    // Such a row keeps the texts it was listed with.
    std::unique_ptr<ResultRow> given;
    uint32_t id = 0;     // the row's own, while it lives
    uint32_t error = 0;  // why its last deletion or renaming failed (0: none)
    char attribute = '-';
    bool folder = false;
    bool plainPathWorks = false;  // this Windows reaches it by its plain path
    uint32_t listedFor = 0;       // ListedReason bits: why it is listed
    bool checked = false;
    bool failed = false;
};

// The row a walk's row becomes (its id is given as it goes in).
ListedRow ListedRowOf(const ResultRow& row);

// The list's columns in their order: heading, width at 96 dpi, and the text a
// row shows in it.
struct ResultColumn {
    const char* heading;
    int widthAt96;
    std::wstring (*text)(const ListedRow& row);
};
const std::vector<ResultColumn>& ResultColumns();

// The exact path of a row: from its entry's stored names, else as it was given.
std::wstring ExactPathOf(const ListedRow& row);

// A path as it is painted in width: the volume it starts with ("X:\" or
// "\\server\share\"), "…", and as much of its end as fits, cut where a
// folder's name starts, so that rows in one deep folder still read apart. A
// path that fits stands whole; when not even its last name fits, that name
// follows "…" alone. extents[i] is the width of the first i + 1 characters.
std::wstring FitPathText(const std::wstring& path, const std::vector<int>& extents, int ellipsisWidth, int width);

// A narrow text of the ANSI code page in UTF-16 (ShownNarrow, in fw, is the
// other way).
std::wstring WideOfAnsi(const std::string& text);

class ResultList {
public:
    ResultList() = default;
    ~ResultList();
    ResultList(const ResultList&) = delete;
    ResultList& operator=(const ResultList&) = delete;

    // The control, for the dialog to bind; then Bind once it is there.
    CListCtrl& Control() { return m_list; }
    HWND Window() const { return m_list.GetSafeHwnd(); }
    // Columns, styles and the way the control asks for texts and check marks.
    void Bind(int dpi);

    int Count() const { return static_cast<int>(m_rows.size()); }
    // Rows go in at the end (the order of the walk): shown to the control at
    // once, or (a walk's batch, moved in) with the next OpenPaints.
    void Append(std::vector<ResultRow>& rows);
    void Append(std::vector<ListedRow>& rows);
    void Clear();

    const ListedRow& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }
    // What row shows in column, as the list shows it.
    std::wstring Text(int row, int column) const;
    // The same as a narrow reader of the list gets it.
    std::string NarrowText(int row, int column) const;
    std::wstring ExactPath(int row) const { return ExactPathOf(Row(row)); }
    bool IsFolderRow(int row) const;
    EntryPtr EntryOf(int row) const { return Row(row).entry; }
    uint32_t IdOf(int row) const { return Row(row).id; }
    // Where the row with id is now (-1: gone); hint is where it was.
    int Find(uint32_t id, int hint) const;

    bool IsChecked(int row) const { return Row(row).checked; }
    void SetChecked(int row, bool checked);
    void CheckAll();
    void InvertChecks();
    std::vector<int> CheckedRows() const;

    // The selected row (-1: none), and selecting one (-1: none).
    int Selected() const;
    void Select(int row);

    uint32_t ErrorOf(int row) const { return Row(row).error; }
    // The row reads "失败"; error says why.
    void MarkFailed(int row, uint32_t error);
    // Takes the rows out at once; the selection stays with its row. The
    // control is shown the change now, or with the next OpenPaints.
    enum class CatchUp { kNow, kWhenDue };
    void Remove(std::vector<int> rows, CatchUp when = CatchUp::kNow);

    // Sorts by the texts of column (the Part's comparison of narrow texts),
    // in the direction state gives; rows move with their marks and selection.
    void SortBy(int column, ListSortState& state);

    // Statistics: folder rows and every other row.
    void CountKinds(int& folders, int& files) const;

    // Rows that pour in or leave are shown to the control (its count and
    // scroll bar) now and then, not batch by batch: when force, or when it
    // has waited long enough. Held while the control is behind the rows.
    void OpenPaints(bool force);
    bool IsPaintHeld() const { return Window() && m_shownCount != m_rows.size(); }

    // The control's requests (texts, check marks) and check-mark changes;
    // true when handled, with the answer in result.
    bool OnNotify(const NMHDR& header, LRESULT& result);
    // A click on a row's check box and the space key toggle the model's mark:
    // true when the message was taken.
    bool PreTranslate(const MSG& msg);

private:
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    // A check mark set through the control (LVM_SETITEMSTATE, from this
    // program or another): the control keeps none of its own.
    void TakeStateImage(int row, UINT state);
    void Toggle(int row);
    // What the control is given for a cell: while it paints, a path cut to fit.
    std::wstring ShownText(int row, int column) const;
    void RedrawRow(int row);
    void RedrawAll();
    void SyncCount();
    // Whether row is in or above the rows the control shows now.
    bool IsShown(int row) const;

    CListCtrl m_list;
    bool m_subclassed = false;
    std::vector<ListedRow> m_rows;
    uint32_t m_lastId = 0;
    int m_dpi = 96;
    int m_painting = 0;               // inside the control's paint
    mutable HDC m_measure = nullptr;  // where painted texts are measured
    size_t m_shownCount = 0;          // the rows the control knows of
    DWORD m_lastCatchUp = GetTickCount();
    DWORD m_catchUpCost = 0;  // how long the last one took
};
