#include "RowDeletion.h"

#include <algorithm>

#include "Delete.h"
#include "MainTexts.h"
#include "ResultRow.h"

namespace {

// A batch goes to the window at most this often, or when this large.
constexpr DWORD kBatchMs = 100;
constexpr size_t kBatchRows = 500;

}  // namespace

struct RowDeletion::Run {
    RowDeletion* owner;
    FileSystem* fs;
    std::vector<Item> items;
    Ended ended;
};

bool RowDeletion::Start(FileSystem& fs, const std::vector<int>& rows, Ended ended) {
    if (m_running) return false;
    auto run = std::make_unique<Run>();
    run->owner = this;
    run->fs = &fs;
    run->ended = std::move(ended);
    // From the last row up: a row that goes leaves the places of those above it.
    std::vector<int> order(rows);
    std::sort(order.begin(), order.end(), [](int a, int b) { return a > b; });
    order.erase(std::unique(order.begin(), order.end()), order.end());
    run->items.reserve(order.size());
    for (int row : order) {
        if (row < 0 || row >= m_list.Count()) continue;
        const ListedRow& listed = m_list.Row(row);
        Item item{row, listed.id, listed.entry, std::string()};
        if (!item.entry && listed.given) item.path = listed.given->path;
        run->items.push_back(std::move(item));
    }
    m_total = static_cast<int>(run->items.size());
    m_tried = 0;
    m_stop = false;
    m_running = true;
    if (!m_workers.Start(&RowDeletion::Worker, run.get())) {
        m_running = false;
        return false;
    }
    run.release();  // the worker's now
    return true;
}

DWORD WINAPI RowDeletion::Worker(void* p) {
    std::unique_ptr<Run> run(static_cast<Run*>(p));
    RowDeletion& self = *run->owner;
    DeletionTally tally;
    std::vector<RowOutcome> batch;
    DWORD lastHand = GetTickCount();
    auto hand = [&] {
        lastHand = GetTickCount();
        if (batch.empty()) return;
        self.m_tasks.Post([&self, outcomes = std::move(batch)] { self.Apply(outcomes); });
        batch.clear();
    };
    {
        DeleteSession session(*run->fs);
        session.StopWhen(&self.m_stop);
        for (const Item& item : run->items) {
            if (self.m_stop) {
                tally.stopped = true;
                tally.left = static_cast<int>(run->items.size()) - tally.deleted - tally.failed;
                break;
            }
            ResultRow listed;
            listed.entry = item.entry;
            listed.path = item.path;
            const ::Outcome outcome = session.Delete(listed);
            ++(outcome.ok ? tally.deleted : tally.failed);
            batch.push_back({item.row, item.id, outcome.ok, outcome.error});
            ++self.m_tried;
            if (batch.size() >= kBatchRows || GetTickCount() - lastHand >= kBatchMs) hand();
        }
    }  // folders the session kept open are closed before the window hears of the end
    hand();
    self.m_tasks.Post([&self, tally, ended = std::move(run->ended)] { self.Finish(tally, ended); });
    return 0;
}

void RowDeletion::Apply(const std::vector<RowOutcome>& outcomes) {
    // The rows keep their places while a deletion runs (from the last up, so
    // the rows that went were below); should one have moved after all, its id
    // finds it.
    std::vector<int> gone;
    gone.reserve(outcomes.size());
    for (const RowOutcome& outcome : outcomes) {
        const int row = m_list.Find(outcome.id, outcome.row);
        if (row < 0) continue;
        if (outcome.ok)
            gone.push_back(row);
        else
            m_list.MarkFailed(row, outcome.error);
    }
    m_list.Remove(gone, ResultList::CatchUp::kWhenDue);
}

void RowDeletion::Finish(const DeletionTally& tally, const Ended& ended) {
    m_list.OpenPaints(true);
    // The summary in a task of its own: when showing the rows took a while,
    // the window answers what waits before it puts up the box.
    m_tasks.Post([this, tally, ended] {
        // Still running while its summary is up: nothing may start from the box's loop.
        if (ended) ended(tally);
        m_running = false;
    });
}
