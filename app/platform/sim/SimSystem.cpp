#include "sim/Machine.h"

namespace sim {

SimSystem::SimSystem(Machine& machine) : machine_(machine) {}

void SimSystem::InstallDefaults() {}

bool SimSystem::GetVersion(OsVersion* version) {
    (void)version;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

Wow64Probe SimSystem::QueryWow64() {
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimSystem::GetSystemDirectory(std::wstring* path) {
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

bool SimSystem::GetWindowsDirectory(std::wstring* path) {
    (void)path;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

int32_t SimSystem::CreateGuid(Guid* guid) {
    (void)guid;
    return win::kENotImpl;
}

uint32_t SimSystem::GetLastError() {
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

void SimSystem::SetLastError(uint32_t error) {
    (void)error;
}

void SimSystem::Sleep(uint32_t milliseconds) {
    (void)milliseconds;
}

void SimSystem::SeedRand(uint32_t seed) {
    (void)seed;
}

int SimSystem::Rand() {
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

uint16_t SimSystem::GetUserDefaultUILanguage() {
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

int32_t SimSystem::CoInitializeEx(uint32_t model) {
    (void)model;
    return win::kENotImpl;
}

KernelHandle SimSystem::CreateThread(ThreadProc proc, void* argument) {
    (void)proc;
    (void)argument;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

uint32_t SimSystem::WaitForThread(KernelHandle thread, uint32_t milliseconds) {
    (void)thread;
    (void)milliseconds;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return {};
}

bool SimSystem::CloseThread(KernelHandle thread) {
    (void)thread;
    machine_.SetLastError(win::kErrorCallNotImplemented);
    return false;
}

}  // namespace sim
