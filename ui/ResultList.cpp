#include "ResultList.h"

#include <windowsx.h>

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "CodePage.h"
#include "Layout.h"
#include "UiText.h"
#include "MainTexts.h"

namespace {

// What the control leaves around a cell's text, at 96 dpi, with room to spare.
constexpr int kLabelMarginAt96 = 12;

// How often the control is shown rows that came or went: while it does not
// show a screenful yet, and after that (at the least: more seldom when
// showing them takes the window longer, see OpenPaints).
constexpr DWORD kCatchUpFirstMs = 300;
constexpr DWORD kCatchUpMs = 1000;

std::wstring WideOf(const WideName& name) { return std::wstring(name.begin(), name.end()); }

std::wstring PathText(const ListedRow& row) { return ExactPathOf(row); }

std::wstring NameText(const ListedRow& row) {
    if (row.entry) return L"[" + WideOf(row.entry->name) + L"]";
    return row.given ? WideOfAnsi(row.given->bracketedName) : std::wstring();
}

std::wstring TypeText(const ListedRow& row) {
    if (row.given) return UiWide(row.given->type);
    return row.folder ? L"文件夹" : L"文件";
}

std::wstring AttributeText(const ListedRow& row) {
    if (row.given) return WideOfAnsi(row.given->attribute);
    return std::wstring(1, static_cast<wchar_t>(static_cast<unsigned char>(row.attribute)));
}

std::wstring WhyListedText(const ListedRow& row) {
    return UiWide(BuildWhyListedText(row.listedFor, row.plainPathWorks));
}

std::wstring OutcomeText(const ListedRow& row) {
    if (row.failed) return L"失败";
    return row.given ? UiWide(row.given->result) : L"未操作";
}

// The narrow text a row was given in column (a row without an entry); null
// for a column it has no text of its own for.
const std::string* GivenText(const ResultRow& row, int column) {
    switch (column) {
    case 0: return &row.path;
    case 1: return &row.bracketedName;
    case 2: return &row.type;
    case 3: return &row.attribute;
    case 4: return &row.result;
    default: return nullptr;
    }
}

// The sort keys of one sort. The paths of a folder's rows share the folder's
// key, made once.
class SortKeys {
public:
    std::string Of(const ResultList& list, int index, int column) {
        const ListedRow& row = list.Row(index);
        if (row.given && !(column == 4 && row.failed)) {
            if (const std::string* text = GivenText(*row.given, column))
                return SortKeyOf(text->c_str(), IsAnsiLeadByte);
        }
        if (column == 0 && row.entry && row.entry->parent) {
            const WideName& name = row.entry->name;
            return FolderKey(*row.entry->parent) + Key(L"\\" + std::wstring(name.begin(), name.end()));
        }
        if (column == 1 && row.entry) {
            const WideName& name = row.entry->name;
            return Key(L"[" + std::wstring(name.begin(), name.end()) + L"]");
        }
        return Key(list.Text(index, column));
    }

private:
    static std::string Key(const std::wstring& text) {
        // Text in ASCII is the same in every code page: keyed as it stands,
        // without a conversion for each of many thousand rows.
        std::string key;
        key.reserve(text.size() * 2);
        for (wchar_t c : text) {
            if (c >= 0x80 || c == 0) return SortKeyOf(ShownNarrow(text).c_str(), IsAnsiLeadByte);
            key += '\0';
            key += static_cast<char>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
        }
        return key;
    }
    const std::string& FolderKey(const EntryRef& folder) {
        auto found = m_folders.find(&folder);
        if (found != m_folders.end()) return found->second;
        return m_folders[&folder] = Key(WideOf(WidePathOf(folder)));
    }
    std::unordered_map<const EntryRef*, std::string> m_folders;
};

}  // namespace

const std::vector<ResultColumn>& ResultColumns() {
    static const std::vector<ResultColumn> columns = {
        {"路径", kPathColumnMinAt96, &PathText},
        {"文件名", 90, &NameText},
        {"类型", 60, &TypeText},
        {"属性", 60, &AttributeText},
        {"操作结果", 103, &OutcomeText},
        {"说明", 145, &WhyListedText},
    };
    return columns;
}

std::wstring ExactPathOf(const ListedRow& row) {
    if (row.entry) return WideOf(WidePathOf(*row.entry));
    return row.given ? WideOfAnsi(row.given->path) : std::wstring();
}

std::wstring FitPathText(const std::wstring& path, const std::vector<int>& extents, int ellipsisWidth, int width) {
    const size_t n = path.size();
    if (n == 0 || extents.size() < n || extents[n - 1] <= width) return path;
    auto widthOf = [&](size_t from) { return extents[n - 1] - (from > 0 ? extents[from - 1] : 0); };
    const size_t last = path.find_last_of(L'\\');
    // Without a name after a folder there is nothing to cut in the middle.
    if (last == std::wstring::npos || last + 1 >= n) return path;
    size_t volume = path.find(L'\\');
    if (path.compare(0, 2, L"\\\\") == 0) {
        const size_t server = path.find(L'\\', 2);
        volume = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    }
    if (volume == std::wstring::npos || volume >= last) return path;
    const std::wstring ellipsis(1, L'\u2026');
    const int room = width - extents[volume] - ellipsisWidth;
    // The longest end that fits, from the start of a folder's name on.
    for (size_t from = path.find(L'\\', volume + 1); from != std::wstring::npos; from = path.find(L'\\', from + 1))
        if (widthOf(from) <= room) return path.substr(0, volume + 1) + ellipsis + path.substr(from);
    return ellipsis + path.substr(last);
}

std::wstring WideOfAnsi(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
    if (size > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

void ResultList::Bind(int dpi) {
    m_dpi = dpi;
    const std::vector<ResultColumn>& columns = ResultColumns();
    for (size_t i = 0; i < columns.size(); ++i)
        m_list.InsertColumn(static_cast<int>(i), columns[i].heading, LVCFMT_LEFT,
                            ScaledForDpi(columns[i].widthAt96, dpi));
    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_TWOCLICKACTIVATE |
                            LVS_EX_FLATSB | LVS_EX_INFOTIP);
    // The check marks are the rows' own: the control asks for them as for texts.
    m_list.SendMessage(LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK);
    // Texts are asked for in UTF-16 whatever the dialog is.
    m_list.SendMessage(CCM_SETUNICODEFORMAT, TRUE);
    m_subclassed = SetWindowSubclass(Window(), &ResultList::ListProc, 0, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    m_list.KeepColumnFilling(kPathColumn, ScaledForDpi(kPathColumnMinAt96, dpi));
}

ResultList::~ResultList() {
    if (m_measure) DeleteDC(m_measure);
    if (m_subclassed && IsWindow(Window())) RemoveWindowSubclass(Window(), &ResultList::ListProc, 0);
}

LRESULT CALLBACK ResultList::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    if (message == LVM_SETITEMSTATE && lParam) {
        // LVITEMA and LVITEMW agree up to the state fields.
        const auto& item = *reinterpret_cast<const LVITEMW*>(lParam);
        if (item.stateMask & LVIS_STATEIMAGEMASK)
            reinterpret_cast<ResultList*>(self)->TakeStateImage(static_cast<int>(wParam), item.state);
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(list, &ResultList::ListProc, 0);
        reinterpret_cast<ResultList*>(self)->m_subclassed = false;
    }
    if (message == WM_PAINT || message == WM_PRINTCLIENT) {
        // Texts asked for meanwhile are painted, not read.
        auto& owner = *reinterpret_cast<ResultList*>(self);
        ++owner.m_painting;
        const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
        --owner.m_painting;
        return result;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

void ResultList::TakeStateImage(int row, UINT state) {
    const UINT image = (state & LVIS_STATEIMAGEMASK) >> 12;
    if (image != 1 && image != 2) return;
    if (row >= 0) {
        SetChecked(row, image == 2);
        return;
    }
    for (ListedRow& r : m_rows) r.checked = image == 2;
    RedrawAll();
}

ListedRow ListedRowOf(const ResultRow& row) {
    ListedRow listed;
    listed.folder = row.type == kTypeFolder;
    listed.attribute = row.attribute.empty() ? '-' : row.attribute[0];
    listed.listedFor = row.listedFor;
    listed.plainPathWorks = row.plainPathWorks;
    if (row.entry)
        listed.entry = row.entry;
    else
        listed.given.reset(new ResultRow(row));
    return listed;
}

void ResultList::Append(std::vector<ResultRow>& rows) {
    std::vector<ListedRow> listed;
    listed.reserve(rows.size());
    for (const ResultRow& row : rows) listed.push_back(ListedRowOf(row));
    Append(listed);
    OpenPaints(true);
}

void ResultList::Append(std::vector<ListedRow>& rows) {
    if (rows.empty()) return;
    for (ListedRow& row : rows) {
        row.id = ++m_lastId;
        m_rows.push_back(std::move(row));
    }
    OpenPaints(false);
}

void ResultList::Clear() {
    std::vector<ListedRow>().swap(m_rows);
    // An empty control stays as it is: nothing to paint again.
    if (Window() && m_shownCount != 0) m_list.DeleteAllItems();
    m_shownCount = 0;
    // The first rows of the next search are shown as they come.
    m_lastCatchUp = GetTickCount() - kCatchUpFirstMs;
}

std::wstring ResultList::Text(int row, int column) const {
    const std::vector<ResultColumn>& columns = ResultColumns();
    if (row < 0 || row >= Count() || column < 0 || column >= static_cast<int>(columns.size())) return std::wstring();
    return columns[static_cast<size_t>(column)].text(Row(row));
}

std::string ResultList::NarrowText(int row, int column) const { return ShownNarrow(Text(row, column)); }

bool ResultList::IsFolderRow(int row) const {
    const ListedRow& r = Row(row);
    return r.given ? r.given->type == kTypeFolder : r.folder;
}

int ResultList::Find(uint32_t id, int hint) const {
    if (hint >= 0 && hint < Count() && Row(hint).id == id) return hint;
    for (int row = 0; row < Count(); ++row)
        if (Row(row).id == id) return row;
    return -1;
}

void ResultList::SetChecked(int row, bool checked) {
    if (row < 0 || row >= Count() || m_rows[static_cast<size_t>(row)].checked == checked) return;
    m_rows[static_cast<size_t>(row)].checked = checked;
    RedrawRow(row);
}

void ResultList::CheckAll() {
    for (ListedRow& row : m_rows) row.checked = true;
    RedrawAll();
}

void ResultList::InvertChecks() {
    for (ListedRow& row : m_rows) row.checked = !row.checked;
    RedrawAll();
}

std::vector<int> ResultList::CheckedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < Count(); ++row)
        if (Row(row).checked) rows.push_back(row);
    return rows;
}

int ResultList::Selected() const {
    if (!Window() || m_list.GetSelectedCount() == 0) return -1;
    const int row = m_list.GetNextItem(-1, LVNI_SELECTED);
    return row < Count() ? row : -1;
}

void ResultList::Select(int row) {
    if (!Window()) return;
    // Row by row: a change of every row at once walks all of them.
    const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
    for (UINT flag : {static_cast<UINT>(LVNI_SELECTED), static_cast<UINT>(LVNI_FOCUSED)}) {
        const int now = flag == LVNI_SELECTED ? Selected() : m_list.GetNextItem(-1, flag);
        if (now >= 0 && now != row) m_list.SetItemState(now, 0, both);
    }
    if (row >= 0 && row < Count()) m_list.SetItemState(row, both, both);
}

void ResultList::MarkFailed(int row, uint32_t error) {
    if (row < 0 || row >= Count()) return;
    ListedRow& r = m_rows[static_cast<size_t>(row)];
    r.failed = true;
    r.error = error;
    RedrawRow(row);
}

void ResultList::Remove(std::vector<int> rows, CatchUp when) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    while (!rows.empty() && rows.back() >= Count()) rows.pop_back();
    while (!rows.empty() && rows.front() < 0) rows.erase(rows.begin());
    if (rows.empty()) return;
    const int selected = Selected();
    const uint32_t selectedId = selected >= 0 ? Row(selected).id : 0;
    // One pass over the rows, however many go.
    size_t to = static_cast<size_t>(rows.front()), next = 0;
    for (size_t from = to; from < m_rows.size(); ++from) {
        if (next < rows.size() && static_cast<size_t>(rows[next]) == from) {
            ++next;
            continue;
        }
        if (to != from) m_rows[to] = std::move(m_rows[from]);
        ++to;
    }
    m_rows.erase(m_rows.begin() + static_cast<long>(to), m_rows.end());
    if (selected >= 0) m_list.SetItemState(selected, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (when == CatchUp::kNow)
        SyncCount();
    else
        OpenPaints(false);
    if (selected >= 0) Select(Find(selectedId, -1));
    // Rows below the window's last only move where nobody sees them.
    if (IsShown(rows.front())) RedrawAll();
}

void ResultList::SortBy(int column, ListSortState& state) {
    const bool descending = NextSortDescending(state, column);
    if (m_rows.size() < 2) return;
    const int selected = Selected();
    const uint32_t selectedId = selected >= 0 ? Row(selected).id : 0;
    std::vector<std::string> keys(m_rows.size());
    SortKeys made;
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = made.Of(*this, static_cast<int>(i), column);
    std::vector<uint32_t> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return descending ? keys[b] < keys[a] : keys[a] < keys[b]; });
    std::vector<ListedRow> sorted;
    sorted.reserve(m_rows.size());
    for (uint32_t i : order) sorted.push_back(std::move(m_rows[i]));
    m_rows.swap(sorted);
    if (selected >= 0) Select(Find(selectedId, -1));
    RedrawAll();
}

void ResultList::CountKinds(int& folders, int& files) const {
    folders = files = 0;
    for (int row = 0; row < Count(); ++row) ++(IsFolderRow(row) ? folders : files);
}

void ResultList::OpenPaints(bool force) {
    if (!IsPaintHeld()) return;
    const DWORD now = GetTickCount();
    // A screenful of new rows is shown at once; after that the scroll bar
    // (which under Wine costs the window tens of milliseconds each time it
    // changes) follows now and then.
    const auto page = static_cast<size_t>(m_list.SendMessage(LVM_GETCOUNTPERPAGE));
    const DWORD due = m_shownCount <= page ? kCatchUpFirstMs : std::max(kCatchUpMs, 10 * m_catchUpCost);
    if (!force && now - m_lastCatchUp < due) return;
    SyncCount();
    // What it cost sets when the next may come: a tenth of the window's time at most.
    m_lastCatchUp = GetTickCount();
    m_catchUpCost = m_lastCatchUp - now;
}

bool ResultList::OnNotify(const NMHDR& header, LRESULT& result) {
    switch (header.code) {
    case LVN_GETDISPINFOW: {
        LVITEMW& item = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
        if (item.iItem < 0 || item.iItem >= Count()) {
            // A row that left before the control was told.
            if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) item.pszText[0] = L'\0';
            break;
        }
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            const std::wstring text = ShownText(item.iItem, item.iSubItem);
            const size_t n = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
            std::copy(text.begin(), text.begin() + static_cast<long>(n), item.pszText);
            item.pszText[n] = L'\0';
        }
        if ((item.mask & LVIF_STATE) && item.iSubItem == 0) {
            item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(IsChecked(item.iItem) ? 2 : 1);
            item.stateMask |= LVIS_STATEIMAGEMASK;
        }
        break;
    }
    case LVN_GETDISPINFOA: {
        // Only when the control would not take UTF-16: the texts as the code page shows them.
        LVITEMA& item = const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header)).item;
        if (item.iItem < 0 || item.iItem >= Count()) {
            if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) item.pszText[0] = '\0';
            break;
        }
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
            lstrcpynA(item.pszText, ShownNarrow(ShownText(item.iItem, item.iSubItem)).c_str(), item.cchTextMax);
        if ((item.mask & LVIF_STATE) && item.iSubItem == 0) {
            item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(IsChecked(item.iItem) ? 2 : 1);
            item.stateMask |= LVIS_STATEIMAGEMASK;
        }
        break;
    }
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW: result = -1; return true;
    case LVN_ODCACHEHINT: break;
    case LVN_ITEMCHANGED: {
        // A check mark set through the control, where the control says so.
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (!(change.uChanged & LVIF_STATE) || !((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK))
            return false;
        TakeStateImage(change.iItem, change.uNewState);
        break;
    }
    case LVN_ODSTATECHANGED: {
        const auto& change = reinterpret_cast<const NMLVODSTATECHANGE&>(header);
        const UINT image = change.uNewState & LVIS_STATEIMAGEMASK;
        if (!image || !((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK)) return false;
        for (int row = std::max(change.iFrom, 0); row <= change.iTo && row < Count(); ++row)
            m_rows[static_cast<size_t>(row)].checked = (image >> 12) == 2;
        RedrawAll();
        break;
    }
    default: return false;
    }
    result = 0;
    return true;
}

bool ResultList::PreTranslate(const MSG& msg) {
    if (msg.hwnd != Window() || !Window()) return false;
    switch (msg.message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        LVHITTESTINFO hit = {};
        hit.pt.x = GET_X_LPARAM(msg.lParam);
        hit.pt.y = GET_Y_LPARAM(msg.lParam);
        const int row = static_cast<int>(m_list.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (row < 0 || row >= Count() || (hit.flags & LVHT_ONITEM) != LVHT_ONITEMSTATEICON) return false;
        Toggle(row);
        return true;
    }
    case WM_KEYDOWN:
        if (msg.wParam != VK_SPACE || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
        {
            int row = Selected();
            if (row < 0) row = m_list.GetNextItem(-1, LVNI_FOCUSED);
            if (row >= 0 && row < Count()) Toggle(row);
        }
        return true;
    case WM_CHAR: return msg.wParam == L' ';
    default: return false;
    }
}

std::wstring ResultList::ShownText(int row, int column) const {
    std::wstring text = Text(row, column);
    if (column != kPathColumn || m_painting == 0 || text.empty()) return text;
    // The path cell as it is painted: cut in the middle to fit, so the end
    // stays. Its room is the column's beside the check box (asked of the
    // header and the image list: nothing that asks for texts again).
    int width = m_list.GetColumnWidth(kPathColumn) - ScaledForDpi(kLabelMarginAt96, m_dpi);
    int boxWidth = 0, boxHeight = 0;
    const auto boxes = reinterpret_cast<HIMAGELIST>(m_list.SendMessage(LVM_GETIMAGELIST, LVSIL_STATE));
    if (boxes && ImageList_GetIconSize(boxes, &boxWidth, &boxHeight)) width -= boxWidth;
    if (!m_measure) m_measure = CreateCompatibleDC(nullptr);
    if (!m_measure) return text;
    const HGDIOBJ old = SelectObject(m_measure, reinterpret_cast<HFONT>(m_list.SendMessage(WM_GETFONT)));
    std::vector<int> extents(text.size());
    SIZE whole = {}, ellipsis = {};
    const bool measured = GetTextExtentExPointW(m_measure, text.c_str(), static_cast<int>(text.size()), 0, nullptr,
                                                extents.data(), &whole) &&
                          GetTextExtentPoint32W(m_measure, L"\u2026", 1, &ellipsis);
    SelectObject(m_measure, old);
    return measured ? FitPathText(text, extents, ellipsis.cx, width) : text;
}

void ResultList::Toggle(int row) { SetChecked(row, !IsChecked(row)); }

void ResultList::RedrawRow(int row) {
    if (Window()) m_list.SendMessage(LVM_REDRAWITEMS, row, row);
}

void ResultList::RedrawAll() {
    if (Window()) InvalidateRect(Window(), nullptr, FALSE);
}

void ResultList::SyncCount() {
    if (!Window()) return;
    // Only the rows that came or went where the control shows them are painted again.
    m_list.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(m_rows.size()), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    m_shownCount = m_rows.size();
}

bool ResultList::IsShown(int row) const {
    if (!Window()) return false;
    const auto top = static_cast<int>(m_list.SendMessage(LVM_GETTOPINDEX));
    return row <= top + static_cast<int>(m_list.SendMessage(LVM_GETCOUNTPERPAGE));
}
