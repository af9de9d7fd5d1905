// Simulated registry of sim::Machine: four hives of keys holding typed raw values, the
// shell's light-weight value functions and the classic key functions with Windows' status
// codes, plus set-up, failure injection and inspection for tests.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/Common.h"

namespace sim {

class Machine;

// A value as stored: its type and its bytes exactly as written.
struct RegRawValue {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

// One value write through the port (SetValue / SetKeyValue), in the order they happened.
struct RegWrite {
    Hive hive = Hive::LocalMachine;
    std::wstring key;    // the key path as the caller spelled it
    std::wstring value;  // the value name ("" for the default value)
    uint32_t type = 0;
};

class SimRegistry : public platform::Registry {
public:
    explicit SimRegistry(Machine& machine);
    ~SimRegistry() override;
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

    uint32_t GetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t* type, void* data, uint32_t* size) override;
    uint32_t SetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t type, const void* data, uint32_t size) override;
    uint32_t OpenKey(Hive hive, const std::wstring& subKey, uint32_t access,
                     KeyHandle* key) override;
    uint32_t QueryValue(KeyHandle key, const std::wstring& value, uint32_t* type, void* data,
                        uint32_t* size) override;
    uint32_t SetKeyValue(KeyHandle key, const std::wstring& value, uint32_t type, const void* data,
                         uint32_t size) override;
    uint32_t CloseKey(KeyHandle key) override;
    uint32_t DeleteValue(Hive hive, const std::wstring& subKey, const std::wstring& value) override;
    uint32_t DeleteKeyTree(Hive hive, const std::wstring& subKey) override;

    // --- Test API: set-up (creates missing keys; not counted as writes) ---
    void SetString(Hive hive, const std::wstring& key, const std::wstring& name,
                   const std::wstring& text);
    void SetExpandString(Hive hive, const std::wstring& key, const std::wstring& name,
                         const std::wstring& text);
    void SetMultiString(Hive hive, const std::wstring& key, const std::wstring& name,
                        const std::vector<std::wstring>& items);
    void SetDword(Hive hive, const std::wstring& key, const std::wstring& name, uint32_t number);
    void SetRaw(Hive hive, const std::wstring& key, const std::wstring& name, uint32_t type,
                const std::vector<uint8_t>& bytes);
    void CreateKey(Hive hive, const std::wstring& key);

    // --- Test API: inspection ---
    std::optional<RegRawValue> GetRaw(Hive hive, const std::wstring& key, const std::wstring& name);
    // A string value's text up to its first null (any type; UTF-16LE decoded).
    std::optional<std::wstring> GetString(Hive hive, const std::wstring& key,
                                          const std::wstring& name);
    // The items of a REG_MULTI_SZ-style value, up to the empty item that ends the list (or
    // the end of the data when the list's final null is missing).
    std::optional<std::vector<std::wstring>> GetMultiString(Hive hive, const std::wstring& key,
                                                            const std::wstring& name);
    // A value of exactly 4 bytes, read little-endian.
    std::optional<uint32_t> GetDword(Hive hive, const std::wstring& key, const std::wstring& name);
    bool KeyExists(Hive hive, const std::wstring& key);
    bool ValueExists(Hive hive, const std::wstring& key, const std::wstring& name);
    // Value names of |key| in creation order (display case).
    std::vector<std::wstring> ValueNames(Hive hive, const std::wstring& key);
    // Names of the direct subkeys of |key| in creation order.
    std::vector<std::wstring> SubKeyNames(Hive hive, const std::wstring& key);

    // --- Test API: failure injection ---
    // Every write (value set, value or key deletion, key creation) at or below |key| fails
    // with kErrorAccessDenied.
    void DenyWrite(Hive hive, const std::wstring& key);
    // OpenKey (and the value functions, which open the key first) of |key| or a key below
    // it fails with kErrorAccessDenied.
    void DenyOpen(Hive hive, const std::wstring& key);
    void ClearDenials();
    // Writes (or, with |reads|, the shell-style reads) of the value |name| of exactly |key|
    // fail with |error|; 0 clears the rule.
    void FailValue(Hive hive, const std::wstring& key, const std::wstring& name, bool reads,
                   uint32_t error);
    // A hook on the key-handle reads: |hook| runs at the start of every QueryValue, before
    // the value is looked up, with the value's name and the number of the call since the
    // hook was set (1 for the first). It may change the registry through this test API, as
    // another program writing between two reads would; a non-zero result fails the call
    // with that status. QueryValue calls made by the hook itself do not run it. An empty
    // function removes the hook.
    using QueryHook = std::function<uint32_t(const std::wstring& value, int call)>;
    void OnQueryValue(QueryHook hook);

    // --- Test API: write records ---
    // How many times |value| of |key| was written through the port.
    int WriteCount(Hive hive, const std::wstring& key, const std::wstring& value);
    const std::vector<RegWrite>& Writes() const { return writes_; }
    void ClearWrites() { writes_.clear(); }

    // The number of keys currently open through OpenKey.
    size_t OpenKeyCount() const { return handles_.size(); }

    // The whole registry as .reg text ("Windows Registry Editor Version 5.00"), hives in
    // the order HKCR, HKCU, HKLM, HKU, keys and values in creation order.
    std::wstring Dump();

    // The variables REG_EXPAND_SZ data are expanded with by GetValue (names
    // case-insensitive). Defaults: SystemRoot, windir, SystemDrive, ProgramFiles,
    // ProgramData, ALLUSERSPROFILE, USERPROFILE, APPDATA, TEMP, TMP.
    void SetExpansionVariable(const std::wstring& name, const std::wstring& value);
    // ExpandEnvironmentStrings over those variables: unknown %names% stay as they are.
    std::wstring Expand(const std::wstring& text);

private:
    struct Value {
        std::wstring name;
        uint32_t type = 0;
        std::vector<uint8_t> bytes;
    };
    struct Key {
        std::wstring name;
        std::vector<Value> values;
        std::vector<std::unique_ptr<Key>> subKeys;
    };
    struct OpenRecord {
        Hive hive;
        std::vector<std::wstring> path;
        std::wstring spelled;
        uint32_t access;
    };
    struct Rule {
        Hive hive;
        std::vector<std::wstring> path;
    };
    struct ValueRule {
        Hive hive;
        std::vector<std::wstring> path;
        std::wstring name;
        bool reads;
        uint32_t error;
    };
    // The error a ValueRule gives this access, 0 when none applies.
    uint32_t ValueFailure(Hive hive, const std::vector<std::wstring>& path,
                          const std::wstring& name, bool reads) const;

    // The hook's result for a QueryValue of |value| (0 without a hook).
    uint32_t RunQueryHook(const std::wstring& value);

    // Splits |subKey| on backslashes; false for a malformed path (leading backslash or an
    // empty component inside). A single trailing backslash is ignored.
    static bool SplitPath(const std::wstring& subKey, std::vector<std::wstring>* parts);
    Key* Root(Hive hive);
    // The subkey of |key| named |name| (ignoring case), or null.
    static Key* Child(Key& key, const std::wstring& name);
    Key* Find(Hive hive, const std::vector<std::wstring>& path);
    Key* FindOrCreate(Hive hive, const std::vector<std::wstring>& path);
    static Value* FindValue(Key* key, const std::wstring& name);
    bool Matches(const std::vector<Rule>& rules, Hive hive,
                 const std::vector<std::wstring>& path) const;
    // RegQueryValueExW's buffer rules over a stored value.
    static uint32_t QueryStored(const Value& v, uint32_t* type, void* data, uint32_t* size);
    // SHQueryValueExW on top of QueryStored (REG_EXPAND_SZ expanded and reported as REG_SZ).
    uint32_t ShellQuery(const Value& v, uint32_t* type, void* data, uint32_t* size);
    uint32_t WriteValue(Hive hive, const std::vector<std::wstring>& path,
                        const std::wstring& spelled, const std::wstring& name, uint32_t type,
                        const void* data, uint32_t size);
    void Put(Hive hive, const std::wstring& key, const std::wstring& name, uint32_t type,
             std::vector<uint8_t> bytes);
    void DumpKey(const Key& key, const std::wstring& path, std::wstring* out);

    Machine& machine_;
    std::unique_ptr<Key> roots_[4];
    std::map<std::uintptr_t, OpenRecord> handles_;
    std::vector<Rule> denyWrite_;
    std::vector<Rule> denyOpen_;
    std::vector<ValueRule> valueFailures_;
    std::vector<RegWrite> writes_;
    QueryHook queryHook_;
    int queryCalls_ = 0;
    bool inQueryHook_ = false;
    std::vector<std::pair<std::wstring, std::wstring>> variables_;
};

}  // namespace sim
