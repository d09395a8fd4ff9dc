// The per-user store on SQLite. Every write is its own transaction in write-ahead-log mode, so
// a reader never sees half a write and a killed process loses at most the write it was making.
#include "platform/UserStore.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

#include "platform/Files.h"
#include "platform/LazyLibrary.h"

namespace kr {

namespace {

// Loaded on first use (platform/LazyLibrary.h).
LazyLibrary kSqlite("libsqlite3.so.0");
KR_LAZY_FUNCTION(kSqlite, sqlite3_bind_double)
KR_LAZY_FUNCTION(kSqlite, sqlite3_bind_int)
KR_LAZY_FUNCTION(kSqlite, sqlite3_bind_text)
KR_LAZY_FUNCTION(kSqlite, sqlite3_busy_timeout)
KR_LAZY_FUNCTION(kSqlite, sqlite3_close)
KR_LAZY_FUNCTION(kSqlite, sqlite3_column_bytes)
KR_LAZY_FUNCTION(kSqlite, sqlite3_column_double)
KR_LAZY_FUNCTION(kSqlite, sqlite3_column_int)
KR_LAZY_FUNCTION(kSqlite, sqlite3_column_text)
KR_LAZY_FUNCTION(kSqlite, sqlite3_exec)
KR_LAZY_FUNCTION(kSqlite, sqlite3_finalize)
KR_LAZY_FUNCTION(kSqlite, sqlite3_open_v2)
KR_LAZY_FUNCTION(kSqlite, sqlite3_prepare_v2)
KR_LAZY_FUNCTION(kSqlite, sqlite3_step)

}  // namespace

namespace {

constexpr const char* kFileName = "user-store.sqlite";

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys(root INTEGER NOT NULL, key TEXT NOT NULL COLLATE NOCASE,"
    " PRIMARY KEY(root, key));"
    "CREATE TABLE IF NOT EXISTS store_values(root INTEGER NOT NULL, key TEXT NOT NULL COLLATE"
    " NOCASE, name TEXT NOT NULL COLLATE NOCASE, is_string INTEGER NOT NULL, str TEXT,"
    " real REAL, PRIMARY KEY(root, key, name));";

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Ok() const { return stmt_ != nullptr; }
    void Bind(int i, int v) { sqlite3_bind_int(stmt_, i, v); }
    void Bind(int i, double v) { sqlite3_bind_double(stmt_, i, v); }
    void Bind(int i, std::string_view v) {
        sqlite3_bind_text(stmt_, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
    }
    int Step() { return sqlite3_step(stmt_); }
    sqlite3_stmt* Get() { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

struct UserStore::Db {
    sqlite3* handle = nullptr;
    bool writable = false;
    ~Db() { sqlite3_close(handle); }
};

std::string UserDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/korvane";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share/korvane";
    return "";
}

UserStore::UserStore(std::string folder) {
    if (folder.empty()) folder = UserDataFolder();
    if (!folder.empty()) path_ = folder + "/" + kFileName;
}

UserStore::~UserStore() = default;

std::string UserStore::NormalKey(std::string_view key) {
    std::string out;
    size_t i = 0;
    while (i < key.size()) {
        while (i < key.size() && (key[i] == '\\' || key[i] == '/')) ++i;
        size_t start = i;
        while (i < key.size() && key[i] != '\\' && key[i] != '/') ++i;
        if (i > start) {
            if (!out.empty()) out += '\\';
            out.append(key.substr(start, i - start));
        }
    }
    return out;
}

bool UserStore::Open(bool create) {
    if (db_ && (db_->writable || !create)) return true;
    if (path_.empty()) return false;
    if (!create && !FileExists(path_)) return false;
    if (create && !CreateDirectories(DirectoryOf(path_))) return false;
    auto db = std::make_unique<Db>();
    int flags = create ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path_.c_str(), &db->handle, flags, nullptr) != SQLITE_OK) return false;
    // Another game may be writing: wait for it rather than fail.
    sqlite3_busy_timeout(db->handle, 5000);
    if (create) {
        if (sqlite3_exec(db->handle, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr,
                         nullptr, nullptr) != SQLITE_OK)
            return false;
        if (sqlite3_exec(db->handle, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) return false;
        db->writable = true;
    }
    db_ = std::move(db);
    return true;
}

std::optional<StoreValue> UserStore::Read(int root, std::string_view key, std::string_view name) {
    if (!Open(false)) return std::nullopt;
    Statement st(db_->handle,
                 "SELECT is_string, str, real FROM store_values WHERE root=? AND key=? AND name=?");
    if (!st.Ok()) return std::nullopt;
    std::string k = NormalKey(key);
    st.Bind(1, root);
    st.Bind(2, std::string_view(k));
    st.Bind(3, name);
    if (st.Step() != SQLITE_ROW) return std::nullopt;
    StoreValue v;
    v.is_string = sqlite3_column_int(st.Get(), 0) != 0;
    if (const unsigned char* text = sqlite3_column_text(st.Get(), 1))
        v.str.assign(reinterpret_cast<const char*>(text),
                     size_t(sqlite3_column_bytes(st.Get(), 1)));
    v.real = sqlite3_column_double(st.Get(), 2);
    return v;
}

bool UserStore::KeyExists(int root, std::string_view key) {
    if (!Open(false)) return false;
    Statement st(db_->handle, "SELECT 1 FROM keys WHERE root=? AND key=?");
    if (!st.Ok()) return false;
    std::string k = NormalKey(key);
    st.Bind(1, root);
    st.Bind(2, std::string_view(k));
    return st.Step() == SQLITE_ROW;
}

bool UserStore::Write(int root, std::string_view key, std::string_view name,
                      const StoreValue& value) {
    const std::pair<std::string, StoreValue> one[] = {{std::string(name), value}};
    return WriteMany(root, key, one);
}

bool UserStore::WriteMany(int root, std::string_view key,
                          std::span<const std::pair<std::string, StoreValue>> values) {
    bool ok = Open(true);
    if (ok) {
        std::string k = NormalKey(key);
        ok = sqlite3_exec(db_->handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (ok) {
            // Every key on the way is a key of its own, as in the registry.
            for (size_t pos = 0; ok;) {
                size_t sep = k.find('\\', pos);
                std::string_view prefix = std::string_view(k).substr(0, sep);
                Statement key_st(db_->handle, "INSERT OR IGNORE INTO keys(root, key) VALUES(?,?)");
                key_st.Bind(1, root);
                key_st.Bind(2, prefix);
                ok = key_st.Ok() && key_st.Step() == SQLITE_DONE;
                if (sep == std::string::npos) break;
                pos = sep + 1;
            }
            for (const auto& [name, value] : values) {
                Statement st(
                    db_->handle,
                    "INSERT OR REPLACE INTO store_values(root, key, name, is_string, str, real)"
                    " VALUES(?,?,?,?,?,?)");
                if (ok && st.Ok()) {
                    st.Bind(1, root);
                    st.Bind(2, std::string_view(k));
                    st.Bind(3, std::string_view(name));
                    st.Bind(4, value.is_string ? 1 : 0);
                    st.Bind(5, std::string_view(value.str));
                    st.Bind(6, value.real);
                    ok = st.Step() == SQLITE_DONE;
                } else {
                    ok = false;
                }
            }
            ok = sqlite3_exec(db_->handle, ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) ==
                     SQLITE_OK &&
                 ok;
        }
    }
    if (!ok && !write_failed_reported_) {
        write_failed_reported_ = true;
        std::fprintf(stderr, "korvane: cannot write the user store %s\n",
                     path_.empty() ? "(no home folder)" : path_.c_str());
    }
    return ok;
}

bool UserStore::SecureModeRequested() {
    constexpr std::string_view kKey = "Software\\Korvane\\Version 8\\Preferences";
    if (!KeyExists(kCurrentUser, kKey)) return false;
    auto is_true = [&](std::string_view name) {
        std::optional<StoreValue> v = Read(kCurrentUser, kKey, name);
        if (!v) return false;
        if (v->is_string) return v->str == "1" || v->str == "true" || v->str == "True";
        return v->real >= 0.5;
    };
    return is_true("Warning") && is_true("MakerRunning");
}

}  // namespace kr
