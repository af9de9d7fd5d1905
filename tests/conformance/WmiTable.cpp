// WMI: the hotfix inventory query (Win32_QuickFixEngineering), on the main thread where COM
// is initialised and on a fresh thread where it is not.
#include "Conformance.h"
#include "base/Text.h"

namespace conf {
namespace {

class WmiTable : public ConformanceTest {};

const char* StageName(platform::WmiStage stage) {
    switch (stage) {
        case platform::WmiStage::None:
            return "none";
        case platform::WmiStage::Locator:
            return "locator";
        case platform::WmiStage::Connect:
            return "connect";
        case platform::WmiStage::Blanket:
            return "blanket";
        case platform::WmiStage::Query:
            return "query";
    }
    return "?";
}

std::string RunQuery(platform::Platform& p) {
    platform::WmiStage stage = platform::WmiStage::None;
    std::unique_ptr<platform::HotfixEnumerator> results;
    const int32_t hr = p.wmi.QueryHotfixes(&stage, &results);
    Out out;
    out.Hex("hr", static_cast<uint32_t>(hr)).Add("stage", std::string(StageName(stage)));
    if (hr >= 0 && results) {
        std::vector<std::wstring> ids;
        platform::HotfixId id;
        while (ids.size() < 500 && results->Next(60000, &id) == platform::WmiNext::Object) {
            ids.push_back(id.kind == platform::HotfixId::Kind::Text ? id.text : L"<not text>");
        }
        out.Add("ids", ids);
    }
    return out.str();
}

TEST_F(WmiTable, HotfixQuery) {
    Check("Win32_QuickFixEngineering with COM initialised", RunQuery(P()),
          "hr=00000000 stage=none ids=[\"KB1234567\"]");

    // A thread that never called CoInitializeEx. While the process's main thread is in the
    // multithreaded apartment, Windows counts such a thread as an implicit member of it, so
    // the query works there too.
    struct Ctx {
        platform::Platform* p;
        std::string result;
    } ctx{&P(), ""};
    platform::KernelHandle t = P().system.CreateThread(
        [](void* arg) -> uint32_t {
            auto* c = static_cast<Ctx*>(arg);
            c->result = RunQuery(*c->p);
            return 0;
        },
        &ctx);
    ASSERT_TRUE(t);
    P().system.WaitForThread(t, 60000);
    P().system.CloseThread(t);
    Check("Win32_QuickFixEngineering on a thread without CoInitializeEx", ctx.result,
          "hr=00000000 stage=none ids=[\"KB1234567\"]");
}

}  // namespace
}  // namespace conf
