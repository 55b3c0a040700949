#include <algorithm>

#include "SimulatedVolume.h"
#include "TreeBackend.h"

namespace {

class SimBackend final : public TreeBackend {
public:
    explicit SimBackend(bool aliases) : m_aliases(aliases) {
        m_volume.AddDrive('D', aliases);
        m_volume.AddFolder("D:\\Data\\Scan Root");
    }
    const char* Name() const override { return m_aliases ? "sim" : "sim-noalias"; }
    FileSystem& Fs() override { return m_volume; }
    std::string Root() const override { return "D:\\Data\\Scan Root"; }
    void MakeFolder(const std::string& rel, uint32_t attributes) override {
        m_volume.AddFolder(Root() + "\\" + rel, attributes);
    }
    void MakeFile(const std::string& rel, uint32_t attributes) override {
        m_volume.AddFile(Root() + "\\" + rel, attributes);
    }
    void HoldOpen(const std::string& rel) override { m_volume.Find(Root() + "\\" + rel)->lockedOpen = true; }
    bool Exists(const std::string& rel) const override { return m_volume.Exists(Root() + "\\" + rel); }
    std::vector<std::string> Tree() const override {
        std::vector<std::string> all = m_volume.ListTree(Root());
        for (auto& p : all) p = p.substr(Root().size() + 1);
        std::sort(all.begin(), all.end());
        return all;
    }
    std::string AliasOf(const std::string& rel) const override { return m_volume.Find(Root() + "\\" + rel)->alias; }
    bool HasAliases() const override { return m_aliases; }

private:
    bool m_aliases;
    SimulatedVolume m_volume;
};

}  // namespace

std::unique_ptr<TreeBackend> MakeSimBackend(bool aliases) { return std::make_unique<SimBackend>(aliases); }

#ifndef _WIN32
std::vector<std::string> BackendKinds() { return {"sim", "sim-noalias"}; }
std::unique_ptr<TreeBackend> MakeBackend(const std::string& kind) { return MakeSimBackend(kind == "sim"); }
#endif
