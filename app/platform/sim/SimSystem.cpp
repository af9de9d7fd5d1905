#include "sim/SimSystem.h"

#include "SimSysFileAccess.h"
#include "sim/Machine.h"

namespace sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr uint32_t kInitialRandSeed = 1;

constexpr uint64_t kMsPerDay = 24ull * 60 * 60 * 1000;

// Days from 1601-01-01 to the date (proleptic Gregorian calendar), and back.
uint64_t DaysFromCivil(uint32_t year, uint32_t month, uint32_t day) {
    // Counted from 1600-03-01, so that the leap day ends a year.
    const uint32_t y = year - (month <= 2 ? 1 : 0) - 1600;
    const uint32_t era = y / 400;
    const uint32_t yearOfEra = y % 400;
    const uint32_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const uint32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    // 1601-01-01 is day 306 after 1600-03-01.
    return static_cast<uint64_t>(era) * 146097 + dayOfEra - 306;
}

void CivilFromDays(uint64_t days, uint32_t* year, uint32_t* month, uint32_t* day) {
    const uint64_t z = days + 306;
    const uint64_t era = z / 146097;
    const uint32_t dayOfEra = static_cast<uint32_t>(z % 146097);
    const uint32_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const uint32_t mp = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * mp + 2) / 5 + 1;
    *month = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<uint32_t>(era * 400 + yearOfEra + 1600 + (*month <= 2 ? 1 : 0));
}

uint64_t ClockFromTime(const SystemTime& time) {
    return DaysFromCivil(time.year, time.month, time.day) * kMsPerDay +
           ((time.hour * 60ull + time.minute) * 60 + time.second) * 1000 + time.milliseconds;
}

}  // namespace

SimSystem::SimSystem(Machine& machine) : machine_(machine) {
    SystemTime start;
    start.year = 2024;
    start.month = 3;
    start.day = 4;
    start.hour = 9;
    start.minute = 30;
    clockMs_ = ClockFromTime(start);
    version_.major = 6;
    version_.minor = 1;
    version_.build = 7601;
    version_.servicePackMajor = 1;
}

SimSystem::~SimSystem() {
    JoinAllThreads();
}

void SimSystem::InstallDefaults() {
    uint32_t error = 0;
    sysfiles::MakeFolders(machine_, WindowsFolder(), &error);
    sysfiles::MakeFolders(machine_, SystemFolder(), &error);
}

size_t SimSystem::JoinAllThreads() {
    std::vector<std::shared_ptr<ThreadState>> threads;
    {
        Guard guard(machine_.Lock());
        threads.swap(allThreads_);
    }
    // Joined without the machine's lock: the threads may still need it to finish.
    for (auto& state : threads) {
        if (!state->thread.joinable()) {
            continue;
        }
        if (state->thread.get_id() == std::this_thread::get_id()) {
            state->thread.detach();
        } else {
            state->thread.join();
        }
    }
    return threads.size();
}

// --- Set-up ---

void SimSystem::SetVersion(uint32_t major, uint32_t minor, uint32_t build,
                           uint16_t servicePackMajor) {
    Guard guard(machine_.Lock());
    version_.major = major;
    version_.minor = minor;
    version_.build = build;
    version_.servicePackMajor = servicePackMajor;
}

void SimSystem::SetOsVersion(const OsVersion& version) {
    Guard guard(machine_.Lock());
    version_ = version;
}

void SimSystem::SetWow64(Wow64Probe probe) {
    Guard guard(machine_.Lock());
    wow64_ = probe;
}

void SimSystem::SetWindowsFolder(const std::wstring& path) {
    Guard guard(machine_.Lock());
    windowsFolder_ = path;
}

void SimSystem::SetSystemFolder(const std::wstring& path) {
    Guard guard(machine_.Lock());
    systemFolder_ = path;
}

void SimSystem::FailWindowsDirectory(uint32_t error) {
    Guard guard(machine_.Lock());
    windowsFolderError_ = error;
}

void SimSystem::FailSystemDirectory(uint32_t error) {
    Guard guard(machine_.Lock());
    systemFolderError_ = error;
}

std::wstring SimSystem::WindowsFolder() {
    Guard guard(machine_.Lock());
    return windowsFolder_;
}

std::wstring SimSystem::SystemFolder() {
    Guard guard(machine_.Lock());
    return systemFolder_;
}

void SimSystem::SetGuidSequence(uint32_t nextData1) {
    Guard guard(machine_.Lock());
    nextGuidData1_ = nextData1;
}

void SimSystem::NextGuids(const std::vector<Guid>& guids) {
    Guard guard(machine_.Lock());
    queuedGuids_.insert(queuedGuids_.end(), guids.begin(), guids.end());
}

void SimSystem::FailCreateGuid(int32_t hr) {
    Guard guard(machine_.Lock());
    guidFailure_ = hr;
}

Guid SimSystem::SequenceGuid(uint32_t data1) {
    // A version-4 layout with fixed, recognisable fields after data1.
    Guid guid;
    guid.data1 = data1;
    guid.data2 = 0x5A17;
    guid.data3 = 0x4C0E;
    const uint8_t tail[8] = {0x9D, 0x21, 0x00, 0x50, 0x56, 0xC0, 0x00, 0x08};
    for (int i = 0; i < 8; ++i) {
        guid.data4[i] = tail[i];
    }
    return guid;
}

void SimSystem::SetUiLanguage(uint16_t language) {
    Guard guard(machine_.Lock());
    uiLanguage_ = language;
}

void SimSystem::FailNextThreadStart(uint32_t error) {
    Guard guard(machine_.Lock());
    nextThreadStartError_ = error;
}

void SimSystem::SetDllSearchFunctions(bool defaultDllDirectories, bool setDllDirectory) {
    Guard guard(machine_.Lock());
    hasDefaultDllDirectories_ = defaultDllDirectories;
    hasSetDllDirectory_ = setDllDirectory;
}

void SimSystem::FailDllSearchRestriction(uint32_t error) {
    Guard guard(machine_.Lock());
    dllSearchError_ = error;
}

void SimSystem::SetRandomSeeds(uint32_t next) {
    Guard guard(machine_.Lock());
    nextRandomSeed_ = next;
}

// --- Inspection ---

std::vector<SimSystem::SleepRecord> SimSystem::Sleeps() {
    Guard guard(machine_.Lock());
    return sleeps_;
}

uint64_t SimSystem::TotalSleep() {
    Guard guard(machine_.Lock());
    uint64_t total = 0;
    for (const auto& sleep : sleeps_) {
        total += sleep.milliseconds;
    }
    return total;
}

std::optional<uint32_t> SimSystem::ApartmentOf(std::thread::id thread) {
    Guard guard(machine_.Lock());
    auto it = apartments_.find(thread);
    if (it == apartments_.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool SimSystem::ComInitializedOnThisThread() {
    return ApartmentOf(std::this_thread::get_id()).has_value();
}

bool SimSystem::ComUsableOnThisThread() {
    Guard guard(machine_.Lock());
    if (apartments_.count(std::this_thread::get_id()) != 0) {
        return true;
    }
    // A thread that never initialised COM is an implicit member of the process's
    // multithreaded apartment while some other thread keeps that apartment alive.
    for (const auto& entry : apartments_) {
        if (entry.second == win::kCoinitMultithreaded) {
            return true;
        }
    }
    return false;
}

DllSearchRestriction SimSystem::DllSearchInEffect() {
    Guard guard(machine_.Lock());
    DllSearchRestriction way = DllSearchRestriction::None;
    for (const DllSearchRecord& record : dllSearches_) {
        if (record.way == DllSearchRestriction::DefaultDllDirectories) {
            return record.way;
        }
        if (record.way != DllSearchRestriction::None) {
            way = record.way;
        }
    }
    return way;
}

bool SimSystem::HasDefaultDllDirectories() {
    Guard guard(machine_.Lock());
    return hasDefaultDllDirectories_;
}

std::vector<SimSystem::DllSearchRecord> SimSystem::DllSearchRestrictions() {
    Guard guard(machine_.Lock());
    return dllSearches_;
}

std::vector<SimSystem::ThreadRecord> SimSystem::ThreadsStarted() {
    Guard guard(machine_.Lock());
    return threadsStarted_;
}

size_t SimSystem::RunningThreadCount() {
    std::vector<std::shared_ptr<ThreadState>> threads;
    {
        Guard guard(machine_.Lock());
        threads = allThreads_;
    }
    size_t running = 0;
    for (auto& state : threads) {
        std::lock_guard<std::mutex> stateGuard(state->mutex);
        if (!state->finished) {
            ++running;
        }
    }
    return running;
}

// --- The port ---

bool SimSystem::GetVersion(OsVersion* version) {
    Guard guard(machine_.Lock());
    *version = version_;
    return true;
}

Wow64Probe SimSystem::QueryWow64() {
    Guard guard(machine_.Lock());
    return wow64_;
}

bool SimSystem::GetSystemDirectory(std::wstring* path) {
    Guard guard(machine_.Lock());
    if (systemFolderError_ != 0) {
        machine_.SetLastError(systemFolderError_);
        return false;
    }
    *path = systemFolder_;
    return true;
}

bool SimSystem::GetWindowsDirectory(std::wstring* path) {
    Guard guard(machine_.Lock());
    if (windowsFolderError_ != 0) {
        machine_.SetLastError(windowsFolderError_);
        return false;
    }
    *path = windowsFolder_;
    return true;
}

int32_t SimSystem::CreateGuid(Guid* guid) {
    Guard guard(machine_.Lock());
    if (guidFailure_ != 0) {
        return guidFailure_;
    }
    if (!queuedGuids_.empty()) {
        *guid = queuedGuids_.front();
        queuedGuids_.erase(queuedGuids_.begin());
    } else {
        *guid = SequenceGuid(nextGuidData1_++);
    }
    return win::kSOk;
}

uint32_t SimSystem::GetLastError() {
    return machine_.LastError();
}

void SimSystem::SetLastError(uint32_t error) {
    machine_.SetLastError(error);
}

void SimSystem::SetLocalTime(const SystemTime& time) {
    Guard guard(machine_.Lock());
    clockMs_ = ClockFromTime(time);
}

void SimSystem::AdvanceClock(uint64_t milliseconds) {
    Guard guard(machine_.Lock());
    clockMs_ += milliseconds;
}

void SimSystem::GetLocalTime(SystemTime* time) {
    uint64_t now = 0;
    {
        Guard guard(machine_.Lock());
        now = clockMs_;
    }
    const uint64_t days = now / kMsPerDay;
    uint64_t rest = now % kMsPerDay;
    uint32_t year = 0;
    uint32_t month = 0;
    uint32_t day = 0;
    CivilFromDays(days, &year, &month, &day);
    time->year = static_cast<uint16_t>(year);
    time->month = static_cast<uint16_t>(month);
    time->day = static_cast<uint16_t>(day);
    // 1601-01-01 was a Monday.
    time->dayOfWeek = static_cast<uint16_t>((days + 1) % 7);
    time->milliseconds = static_cast<uint16_t>(rest % 1000);
    rest /= 1000;
    time->second = static_cast<uint16_t>(rest % 60);
    rest /= 60;
    time->minute = static_cast<uint16_t>(rest % 60);
    time->hour = static_cast<uint16_t>(rest / 60);
}

void SimSystem::Sleep(uint32_t milliseconds) {
    {
        Guard guard(machine_.Lock());
        sleeps_.push_back({std::this_thread::get_id(), milliseconds});
        clockMs_ += milliseconds;
    }
    // No real wait, but let other threads run so that polling loops make progress.
    std::this_thread::yield();
}

void SimSystem::SeedRand(uint32_t seed) {
    Guard guard(machine_.Lock());
    randState_[std::this_thread::get_id()] = seed;
    seeds_[std::this_thread::get_id()].push_back(seed);
}

bool SimSystem::SeedRandOnce(uint32_t seed) {
    Guard guard(machine_.Lock());
    bool& seeded = seededOnce_[std::this_thread::get_id()];
    if (seeded) {
        return false;
    }
    seeded = true;
    SeedRand(seed);
    return true;
}

uint32_t SimSystem::RandomSeed() {
    Guard guard(machine_.Lock());
    return nextRandomSeed_++;
}

std::vector<uint32_t> SimSystem::SeedsOfThisThread() {
    Guard guard(machine_.Lock());
    auto it = seeds_.find(std::this_thread::get_id());
    return it == seeds_.end() ? std::vector<uint32_t>() : it->second;
}

int SimSystem::Rand() {
    Guard guard(machine_.Lock());
    auto inserted = randState_.emplace(std::this_thread::get_id(), kInitialRandSeed);
    uint32_t& state = inserted.first->second;
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
}

uint32_t SimSystem::SetErrorMode(uint32_t mode) {
    Guard guard(machine_.Lock());
    const uint32_t before = errorMode_;
    errorMode_ = mode;
    return before;
}

uint32_t SimSystem::ErrorMode() {
    Guard guard(machine_.Lock());
    return errorMode_;
}

uint16_t SimSystem::GetUserDefaultUILanguage() {
    Guard guard(machine_.Lock());
    return uiLanguage_;
}

int32_t SimSystem::CoInitializeEx(uint32_t model) {
    Guard guard(machine_.Lock());
    // Only the apartment bit selects the model; the other COINIT flags do not.
    uint32_t apartment = model & win::kCoinitApartmentThreaded;
    auto inserted = apartments_.emplace(std::this_thread::get_id(), apartment);
    if (inserted.second) {
        return win::kSOk;
    }
    return inserted.first->second == apartment ? win::kSFalse : win::kRpcEChangedMode;
}

void SimSystem::ForgetThreadLocalState(std::thread::id thread) {
    Guard guard(machine_.Lock());
    randState_.erase(thread);
    seeds_.erase(thread);
    seededOnce_.erase(thread);
    apartments_.erase(thread);
}

KernelHandle SimSystem::CreateThread(ThreadProc proc, void* argument) {
    Guard guard(machine_.Lock());
    if (nextThreadStartError_ != 0) {
        machine_.SetLastError(nextThreadStartError_);
        nextThreadStartError_ = 0;
        return KernelHandle();
    }
    if (proc == nullptr) {
        // Windows accepts it and the new thread faults; refuse it instead.
        machine_.SetLastError(win::kErrorInvalidParameter);
        return KernelHandle();
    }
    auto state = std::make_shared<ThreadState>();
    KernelHandle handle(machine_.NewHandleValue());
    openThreads_[handle.value] = state;
    allThreads_.push_back(state);
    threadsStarted_.push_back({handle, proc, argument});
    // The body runs without the machine's lock. A std::thread id may be reused, so the
    // new thread starts with fresh per-thread state (rand seed, COM, last error).
    std::weak_ptr<ThreadState> weak = state;
    state->thread = std::thread([this, weak, proc, argument]() {
        ForgetThreadLocalState(std::this_thread::get_id());
        machine_.SetLastError(0);
        uint32_t exitCode = proc(argument);
        ForgetThreadLocalState(std::this_thread::get_id());
        if (auto self = weak.lock()) {
            std::lock_guard<std::mutex> stateGuard(self->mutex);
            self->exitCode = exitCode;
            self->finished = true;
            self->done.notify_all();
        }
    });
    return handle;
}

uint32_t SimSystem::WaitForThread(KernelHandle thread, uint32_t milliseconds) {
    std::shared_ptr<ThreadState> state;
    {
        Guard guard(machine_.Lock());
        auto it = openThreads_.find(thread.value);
        if (it == openThreads_.end()) {
            machine_.SetLastError(win::kErrorInvalidHandle);
            return win::kWaitFailed;
        }
        state = it->second;
    }
    std::unique_lock<std::mutex> stateLock(state->mutex);
    if (milliseconds == win::kInfinite) {
        state->done.wait(stateLock, [&] { return state->finished; });
    } else {
        state->done.wait_for(stateLock, std::chrono::milliseconds(milliseconds),
                             [&] { return state->finished; });
    }
    return state->finished ? win::kWaitObject0 : win::kWaitTimeout;
}

bool SimSystem::CloseThread(KernelHandle thread) {
    std::shared_ptr<ThreadState> state;
    {
        Guard guard(machine_.Lock());
        auto it = openThreads_.find(thread.value);
        if (it == openThreads_.end()) {
            machine_.SetLastError(win::kErrorInvalidHandle);
            return false;
        }
        state = it->second;
        openThreads_.erase(it);
    }
    // A thread that is still running goes on; the machine joins it at the end.
    return true;
}

bool SimSystem::IsThreadHandle(KernelHandle handle) {
    Guard guard(machine_.Lock());
    return openThreads_.count(handle.value) != 0;
}

bool SimSystem::RestrictDllSearchPath(DllSearchRestriction* way) {
    Guard guard(machine_.Lock());
    DllSearchRestriction taken = DllSearchRestriction::None;
    // As the Win32 adapter: the newer function first, the older one when it is missing or
    // fails. A missing export leaves ERROR_PROC_NOT_FOUND from the lookup.
    if (dllSearchError_ == 0 && hasDefaultDllDirectories_) {
        taken = DllSearchRestriction::DefaultDllDirectories;
    } else if (dllSearchError_ == 0 && hasSetDllDirectory_) {
        taken = DllSearchRestriction::EmptyDllDirectory;
    } else {
        machine_.SetLastError(dllSearchError_ != 0 ? dllSearchError_ : win::kErrorProcNotFound);
    }
    dllSearches_.push_back({std::this_thread::get_id(), taken});
    if (way != nullptr) {
        *way = taken;
    }
    return taken != DllSearchRestriction::None;
}

}  // namespace sim
