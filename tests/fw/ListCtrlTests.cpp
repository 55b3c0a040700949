// The list-control wrapper on the main template's result list (control 1009).
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestDialog.h"

namespace {

const DWORD kResultListStyles =
    LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_TWOCLICKACTIVATE | LVS_EX_FLATSB;

// The result list as the program sets it up: five columns, check boxes.
void PrepareList(CListCtrl& list) {
    const char* headings[] = {"路径", "文件名", "类型", "属性", "操作结果"};
    for (int i = 0; i < 5; ++i) ASSERT_EQ(i, list.InsertColumn(i, headings[i], LVCFMT_LEFT, 60));
    list.SetExtendedStyle(kResultListStyles);
}

// Appends a row with its five texts; returns its index.
int AddRow(CListCtrl& list, const std::vector<std::string>& texts) {
    int row = list.InsertItem(list.GetItemCount(), texts[0].c_str());
    for (size_t i = 1; i < texts.size(); ++i) list.SetItemText(row, static_cast<int>(i), texts[i].c_str());
    return row;
}

std::vector<std::string> Column(CListCtrl& list, int column) {
    std::vector<std::string> texts;
    for (int i = 0; i < list.GetItemCount(); ++i) texts.push_back(list.GetItemText(i, column));
    return texts;
}

TEST(ListCtrl, ColumnsAndExtendedStylesAreSet) {
    RunInDialog([](TestDialog& d) {
        CListCtrl& list = d.m_listResult;
        PrepareList(list);
        EXPECT_EQ(kResultListStyles, list.GetExtendedStyle() & kResultListStyles);
        HWND header = reinterpret_cast<HWND>(list.SendMessage(LVM_GETHEADER));
        EXPECT_EQ(5, static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)));

        char heading[32] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = heading;
        column.cchTextMax = sizeof heading;
        ASSERT_TRUE(list.SendMessage(LVM_GETCOLUMNA, 4, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ("操作结果", heading);
        EXPECT_EQ(60, column.cx);
        EXPECT_TRUE(list.SetColumnWidth(0, 123));
        EXPECT_EQ(123, static_cast<int>(list.SendMessage(LVM_GETCOLUMNWIDTH, 0)));
    });
}

// The sum of the columns' widths, against the client width: the two are equal
// while the filling column is above its minimum.
struct ColumnsFit {
    int sum;
    int client;
    bool horizontalBar;
    bool verticalBar;
};

ColumnsFit Measure(CListCtrl& list) {
    ColumnsFit fit = {0, 0, false, false};
    for (int i = 0; i < list.GetColumnCount(); ++i) fit.sum += list.GetColumnWidth(i);
    RECT client;
    GetClientRect(list.m_hWnd, &client);
    fit.client = client.right;
    const LONG style = GetWindowLongA(list.m_hWnd, GWL_STYLE);
    fit.horizontalBar = (style & WS_HSCROLL) != 0;
    fit.verticalBar = (style & WS_VSCROLL) != 0;
    return fit;
}

TEST(ListCtrl, AFillingColumnTakesWhatTheOthersLeaveWheneverTheClientAreaChanges) {
    RunInDialog([](TestDialog& d) {
        CListCtrl& list = d.m_listResult;
        PrepareList(list);
        HWND w = list.m_hWnd;
        MoveWindow(w, 0, 0, 400, 200, TRUE);
        ASSERT_TRUE(list.KeepColumnFilling(0, 40));
        ColumnsFit fit = Measure(list);
        EXPECT_EQ(fit.sum, fit.client) << "at once";
        EXPECT_FALSE(fit.horizontalBar);

        struct Step {
            const char* what;
            std::function<void()> change;
            bool verticalBar;
        };
        const Step steps[] = {
            {"list made wider", [&] { MoveWindow(w, 0, 0, 520, 200, TRUE); }, false},
            {"rows enough for a vertical scroll bar",
             [&] {
                 for (int i = 0; i < 60; ++i) AddRow(list, {"C:\\p", "[p]", "x", "-", "y"});
             },
             true},
            {"list made narrower with the bar", [&] { MoveWindow(w, 0, 0, 450, 200, TRUE); }, true},
            {"rows gone, and the bar with them", [&] { list.DeleteAllItems(); }, false},
            {"a fixed column widened by the user, then a resize",
             [&] {
                 list.SetColumnWidth(2, 150);
                 MoveWindow(w, 0, 0, 500, 200, TRUE);
             },
             false},
        };
        for (const Step& step : steps) {
            step.change();
            fit = Measure(list);
            EXPECT_EQ(fit.verticalBar, step.verticalBar) << step.what;
            EXPECT_EQ(fit.sum, fit.client) << step.what;
            EXPECT_FALSE(fit.horizontalBar) << step.what;
        }
        EXPECT_EQ(list.GetColumnWidth(2), 150) << "the user's own width of another column stays";

        // Too narrow for the others: the filling column keeps its minimum, the others their widths.
        MoveWindow(w, 0, 0, 200, 200, TRUE);
        EXPECT_EQ(list.GetColumnWidth(0), 40);
        EXPECT_EQ(list.GetColumnWidth(2), 150);
    });
}

struct TextCase {
    const char* name;
    std::string cell;
    int bufferSize;
    std::string expected;
};

const TextCase kTexts[] = {
    {"fits", "D:\\data\\abc.", 260, "D:\\data\\abc."},
    {"GBK type text in the 10-byte buffer", "文件夹", 10, "文件夹"},
    {"GBK name whose second byte is a backslash", "[奬状.]", 260, "[奬状.]"},
    {"cut to the buffer", "abcdefghij", 8, "abcdefg"},
    {"path cell longer than 259 bytes", std::string(300, 'p'), 260, std::string(259, 'p')},
    {"empty cell", "", 260, ""},
};

TEST(ListCtrl, ItemTextComesBackIntoTheCallersBuffer) {
    RunInDialog([](TestDialog& d) {
        CListCtrl& list = d.m_listResult;
        PrepareList(list);
        for (const TextCase& c : kTexts) {
            SCOPED_TRACE(c.name);
            int row = AddRow(list, {"row", "[name]", c.cell});
            std::vector<char> buffer(c.bufferSize + 4, '#');
            int length = list.GetItemText(row, 2, buffer.data(), c.bufferSize);
            EXPECT_EQ(static_cast<int>(c.expected.size()), length);
            EXPECT_EQ(c.expected, std::string(buffer.data()));
            EXPECT_EQ('#', buffer[c.bufferSize]) << "wrote past the buffer";
        }
    });
}

TEST(ListCtrl, WholeItemTextHasNoLengthLimit) {
    RunInDialog([](TestDialog& d) {
        CListCtrl& list = d.m_listResult;
        PrepareList(list);
        std::string longText;
        for (int i = 0; i < 100; ++i) longText += "目录" + std::to_string(i) + "\\";
        for (const std::string& text : {longText, std::string(255, 'a'), std::string(254, 'b'), std::string()}) {
            int row = AddRow(list, {text});
            EXPECT_EQ(text, list.GetItemText(row, 0));
        }
    });
}

TEST(ListCtrl, RowsAreInsertedDeletedAndCleared) {
    RunInDialog([](TestDialog& d) {
        CListCtrl& list = d.m_listResult;
        PrepareList(list);
        EXPECT_EQ(0, list.GetItemCount());
        EXPECT_EQ(0, AddRow(list, {"a"}));
        EXPECT_EQ(1, AddRow(list, {"b"}));
        EXPECT_EQ(2, AddRow(list, {"c"}));
        EXPECT_EQ(1, list.InsertItem(1, "between"));
        EXPECT_EQ((std::vector<std::string>{"a", "between", "b", "c"}), Column(list, 0));

        EXPECT_TRUE(list.DeleteItem(2));
        EXPECT_EQ((std::vector<std::string>{"a", "between", "c"}), Column(list, 0));
        EXPECT_FALSE(list.DeleteItem(7));
        EXPECT_TRUE(list.SetItemText(2, 4, "失败"));
        EXPECT_EQ("失败", list.GetItemText(2, 4));

        EXPECT_TRUE(list.DeleteAllItems());
        EXPECT_EQ(0, list.GetItemCount());
    });
}

TEST(ListCtrl, CheckMarksAndSelectionAreIndependent) {
    RunInDialog([](TestDialog& d) {
        CListCtrl& list = d.m_listResult;
        PrepareList(list);
        for (const char* path : {"r0", "r1", "r2"}) AddRow(list, {path});

        for (int i = 0; i < 3; ++i) EXPECT_FALSE(list.GetCheck(i)) << "row " << i << " starts unchecked";
        EXPECT_TRUE(list.SetCheck(0));
        EXPECT_TRUE(list.SetCheck(2));
        EXPECT_TRUE(list.SetCheck(2, FALSE));
        EXPECT_EQ(std::vector<bool>({true, false, false}),
                  std::vector<bool>({!!list.GetCheck(0), !!list.GetCheck(1), !!list.GetCheck(2)}));

        EXPECT_EQ(0u, list.GetSelectedCount());
        EXPECT_EQ(-1, list.GetNextItem(-1, LVNI_SELECTED));
        EXPECT_TRUE(list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED));
        EXPECT_EQ(1u, list.GetSelectedCount());
        EXPECT_EQ(1, list.GetNextItem(-1, LVNI_SELECTED));
        EXPECT_EQ(static_cast<UINT>(LVIS_SELECTED), list.GetItemState(1, LVIS_SELECTED));
        EXPECT_FALSE(list.GetCheck(1)) << "selecting a row does not check it";
        EXPECT_TRUE(list.GetCheck(0)) << "checking is not selecting";
        EXPECT_EQ(0u, list.GetItemState(0, LVIS_SELECTED));
        EXPECT_TRUE(list.EnsureVisible(2, FALSE));
    });
}

// Sorts by the keys held as item data, the way the result list sorts a clicked column.
int CALLBACK CompareKeys(LPARAM a, LPARAM b, LPARAM descending) {
    const std::string& left = *reinterpret_cast<const std::string*>(descending ? b : a);
    const std::string& right = *reinterpret_cast<const std::string*>(descending ? a : b);
    return left.compare(right);
}

TEST(ListCtrl, SortMovesRowsWithTheirTextsChecksAndSelection) {
    RunInDialog([](TestDialog& d) {
        CListCtrl& list = d.m_listResult;
        PrepareList(list);
        AddRow(list, {"C:\\b", "[b]", "文件", "S"});
        AddRow(list, {"C:\\c", "[c]", "文件夹", "-"});
        AddRow(list, {"C:\\a", "[a]", "文件", "H"});
        list.SetCheck(1);
        list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);

        std::vector<std::string> keys = Column(list, 3);
        for (int i = 0; i < list.GetItemCount(); ++i) {
            EXPECT_TRUE(list.SetItemData(i, reinterpret_cast<DWORD_PTR>(&keys[i])));
            EXPECT_EQ(reinterpret_cast<DWORD_PTR>(&keys[i]), list.GetItemData(i));
        }

        EXPECT_TRUE(list.SortItems(CompareKeys, 0));
        EXPECT_EQ((std::vector<std::string>{"-", "H", "S"}), Column(list, 3));
        EXPECT_EQ((std::vector<std::string>{"C:\\c", "C:\\a", "C:\\b"}), Column(list, 0));
        EXPECT_EQ((std::vector<std::string>{"文件夹", "文件", "文件"}), Column(list, 2));
        EXPECT_TRUE(list.GetCheck(0));
        EXPECT_FALSE(list.GetCheck(1));
        EXPECT_EQ(1, list.GetNextItem(-1, LVNI_SELECTED));

        EXPECT_TRUE(list.SortItems(CompareKeys, 1));
        EXPECT_EQ((std::vector<std::string>{"C:\\b", "C:\\a", "C:\\c"}), Column(list, 0));
        EXPECT_TRUE(list.GetCheck(2));
        EXPECT_EQ(1, list.GetNextItem(-1, LVNI_SELECTED));
    });
}

DWORD WINAPI AddRowsThenEnd(LPVOID param) {
    TestDialog* d = static_cast<TestDialog*>(param);
    for (int i = 0; i < 50; ++i) {
        int row = d->m_listResult.InsertItem(d->m_listResult.GetItemCount(), "行");
        d->m_listResult.SetItemText(row, 4, "未操作");
    }
    PostMessageA(d->m_hWnd, kMsgEnd, IDOK, 0);
    return 0;
}

// Rows added from another thread, as the search worker adds them, arrive through the dialog's loop.
TEST(ListCtrl, WorkerThreadCanAddRowsWhileTheDialogRuns) {
    TestDialog dialog;
    int rows = -1;
    std::string lastResult;
    dialog.onInit = [&](TestDialog& d) {
        PrepareList(d.m_listResult);
        HANDLE thread = CreateThread(nullptr, 0, AddRowsThenEnd, &d, 0, nullptr);
        ASSERT_NE(nullptr, thread);
        CloseHandle(thread);
    };
    dialog.onEnd = [&](TestDialog& d) {
        rows = d.m_listResult.GetItemCount();
        lastResult = d.m_listResult.GetItemText(rows - 1, 4);
    };
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(50, rows);
    EXPECT_EQ("未操作", lastResult);
}

}  // namespace
