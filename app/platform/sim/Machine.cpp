#include "sim/Machine.h"

namespace sim {

Machine::Machine() {
    // Construction order matters: later components may use earlier ones while they set up
    // the default machine (files record pending renames in the registry, volumes hold
    // the files, the shell creates folders).
    registry_ = std::make_unique<SimRegistry>(*this);
    files_ = std::make_unique<SimFiles>(*this);
    volumes_ = std::make_unique<SimVolumes>(*this);
    system_ = std::make_unique<SimSystem>(*this);
    shell_ = std::make_unique<SimShell>(*this);
    processes_ = std::make_unique<SimProcesses>(*this);
    wmi_ = std::make_unique<SimWmi>(*this);
    ui_ = std::make_unique<SimUi>(*this);
    platform_.reset(new platform::Platform{*registry_, *files_, *volumes_, *shell_, *system_,
                                           *processes_, *wmi_, *ui_});
    registry_->InstallDefaults();
    files_->InstallDefaults();
    volumes_->InstallDefaults();
    system_->InstallDefaults();
    shell_->InstallDefaults();
    processes_->InstallDefaults();
    wmi_->InstallDefaults();
    ui_->InstallDefaults();
}

Machine::~Machine() {
    // Threads of the code under test and stand-in programs may still use the components:
    // wait for them before anything is destroyed.
    while (system_->JoinAllThreads() + processes_->JoinAllPrograms() != 0) {
    }
}

uint32_t Machine::LastError() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    auto it = lastErrors_.find(std::this_thread::get_id());
    return it == lastErrors_.end() ? 0 : it->second;
}

void Machine::SetLastError(uint32_t error) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    lastErrors_[std::this_thread::get_id()] = error;
}

std::uintptr_t Machine::NewHandleValue() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    nextHandle_ += 4;
    return nextHandle_;
}

}  // namespace sim
