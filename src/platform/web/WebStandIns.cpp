// What a web page cannot do, for the web runner: the parts of the platform whose native
// libraries have no place in a browser. Each says so through its error path, once, and the game
// goes on as it does on a machine without the thing.
#include <cstdio>
#include <set>
#include <string>

#include "platform/NativeLibrary.h"
#include "platform/NetHost.h"
#include "platform/audio/CdDrive.h"
#include "platform/video/VideoDecoder.h"

namespace kr {

namespace {

// Each reason reaches standard error (the page's console) once per run.
void SayOnce(const char* what) {
    static std::set<std::string> said;
    if (said.insert(what).second) std::fprintf(stderr, "korvane: %s\n", what);
}

constexpr char kNoNativeLibraries[] = "a web page cannot load native libraries";
constexpr char kNoNetwork[] = "a web page has no UDP networking: multiplayer is not available";
constexpr char kNoVideo[] = "the web runner does not decode videos";

}  // namespace

// ---- Native libraries
std::unique_ptr<NativeLibrary> NativeLibrary::Open(const std::string& path, std::string* error) {
    if (error) *error = kNoNativeLibraries;
    return nullptr;
}
NativeLibrary::~NativeLibrary() = default;
void* NativeLibrary::Symbol(const std::string&) const {
    return nullptr;
}
std::string NativeLibrariesUnavailable() {
    return kNoNativeLibraries;
}
bool CallNative(void*, std::span<const NativeArg>, bool, NativeResult&) {
    return false;
}

// ---- Networking
struct NetHost::Impl {};
std::string NetAddressText(uint32_t ip) {
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 255) + "." +
           std::to_string((ip >> 8) & 255) + "." + std::to_string(ip & 255);
}
std::optional<uint32_t> ResolveNetHost(const std::string&) {
    return std::nullopt;
}
std::string LocalNetworkAddress() {
    return "127.0.0.1";
}
NetHost::NetHost(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
NetHost::~NetHost() = default;
std::unique_ptr<NetHost> NetHost::Open(uint16_t, const NetHostLimits&, const char[4]) {
    SayOnce(kNoNetwork);
    return nullptr;
}
uint16_t NetHost::Port() const {
    return 0;
}
std::optional<uint32_t> NetHost::Connect(NetAddress) {
    return std::nullopt;
}
bool NetHost::Send(uint32_t, std::span<const uint8_t>, bool) {
    return false;
}
void NetHost::SendDatagram(NetAddress, std::span<const uint8_t>) {}
void NetHost::Disconnect(uint32_t, bool) {}
NetAddress NetHost::PeerAddress(uint32_t) const {
    return {};
}
bool NetHost::Poll(NetEvent&) {
    return false;
}
void NetHost::Flush() {}

// ---- Video
bool DecodeVideoSound(const std::string&, VideoSound&) {
    return false;
}
std::unique_ptr<VideoDecoder> VideoDecoder::Open(const std::string&, std::string& error) {
    error = kNoVideo;
    return nullptr;
}

// ---- CD audio
std::unique_ptr<CdDrive> OpenCdDrive(const std::string&) {
    return MakeEmptyCdDrive();
}

}  // namespace kr
