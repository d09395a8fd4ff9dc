// The per-user store: what a game keeps between runs outside its own files (the registry's
// keys and values, and later the highscore tables). It is one SQLite database in the user's data
// folder ($XDG_DATA_HOME/korvane/, else ~/.local/share/korvane/), so two games running at once
// share it safely and a crash in the middle of a write leaves the last committed state.
//
// Keys are paths of names separated by "\" ("Software\Korvane\42"); like the registry they
// were made for, key and value names ignore ASCII letter case, and leading, trailing and
// repeated separators do not matter. A value is a string or a real.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace kr {

struct StoreValue {
    bool is_string = false;
    std::string str;
    double real = 0;
};

class UserStore {
public:
    // The hives a game may name: 0 current user, 1 local machine, 2 classes root, 3 users.
    static constexpr int kCurrentUser = 0;

    // The store in the user's data folder; `folder` overrides the folder (tests).
    explicit UserStore(std::string folder = "");
    ~UserStore();
    UserStore(const UserStore&) = delete;
    UserStore& operator=(const UserStore&) = delete;

    // The folder and file the store lives in.
    const std::string& Path() const { return path_; }

    // Reads never create the database: a store that was never written reads as empty.
    std::optional<StoreValue> Read(int root, std::string_view key, std::string_view name);
    bool KeyExists(int root, std::string_view key);
    // Writes create the key (and the database) when needed. False when the store cannot be
    // written (the reason goes to standard error once).
    bool Write(int root, std::string_view key, std::string_view name, const StoreValue& value);
    // Several values of one key in one transaction: all are written or none.
    bool WriteMany(int root, std::string_view key,
                   std::span<const std::pair<std::string, StoreValue>> values);

    // "Software\Korvane\Version 8\Preferences" under the current user holds true values
    // "Warning" and "MakerRunning".
    bool SecureModeRequested();

    // Normalises a key: separators "\" or "/", no empty components, no leading or trailing
    // separator.
    static std::string NormalKey(std::string_view key);

private:
    struct Db;
    bool Open(bool create);

    std::string path_;
    std::unique_ptr<Db> db_;
    bool write_failed_reported_ = false;
};

// The folder of the per-user data ($XDG_DATA_HOME/korvane or ~/.local/share/korvane); empty when
// neither variable gives one.
std::string UserDataFolder();

}  // namespace kr
