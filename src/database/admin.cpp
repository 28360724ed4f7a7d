// The launcher of the ODBC data-source administrator. The file data-source directory
// lives as DefaultDSNDir in section [ODBC File DSN] of the user's ODBC ini file; the
// installer library (libodbcinst) is loaded only when the administrator is wanted.
#include <dlfcn.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include <odbcinst.h>

#include "database/connection.hpp"
#include "frame/boundary.hpp"

namespace orvane::db {

namespace {

constexpr const char* kInstallerLibrary = "libodbcinst.so.2";
constexpr const char* kSection = "ODBC File DSN";
constexpr const char* kKey = "DefaultDSNDir";
constexpr const char* kIniFile = "ODBC.INI";
// Registry-style results: what a Windows host has always been given.
constexpr int kOk = 0;
constexpr int kNotFound = 2;
constexpr int kAccessDenied = 5;

// Entry points of the installer, typed from its own header (only the types are used:
// nothing links against libodbcinst).
struct Installer {
    decltype(&::SQLGetPrivateProfileString) getProfile;
    decltype(&::SQLWritePrivateProfileString) writeProfile;
    decltype(&::SQLGetConfigMode) getConfigMode;
    decltype(&::SQLSetConfigMode) setConfigMode;
    decltype(&::SQLManageDataSources) manageDataSources;
    decltype(&::SQLInstallerError) installerError;
};

void messageBox(const char* caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption, text.c_str());
}

// Resolves the installer's entry points; reports and fails as the administrator's
// launcher always has when the library or one of its functions is missing.
bool loadInstaller(Installer& in) {
    void* lib = dlopen(kInstallerLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        // The host's users know this message by its wording, so it stays word for word.
        messageBox("ODBC Installer Error", "The ODBC installer DLL (ODBCCP32.DLL) is not installed on this system.");
        return false;
    }
    auto resolve = [&](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
        if (fn) return true;
        char program[4096] = "";
        const ssize_t n = readlink("/proc/self/exe", program, sizeof program - 1);
        program[n > 0 ? n : 0] = 0;
        char text[8192];
        std::snprintf(text, sizeof text,
                      "The program %s, or one of its DLLs attempted to call the function %s which is not supported "
                      "in the loaded ODBC installer DLL (%s).  Press OK to proceed.",
                      program, name, kInstallerLibrary);
        messageBox("ODBC Installer Error", text);
        return false;
    };
    // The library stays loaded: the driver manager keeps its own reference anyway.
    return resolve(in.getProfile, "SQLGetPrivateProfileString") &&
           resolve(in.writeProfile, "SQLWritePrivateProfileString") &&
           resolve(in.getConfigMode, "SQLGetConfigMode") && resolve(in.setConfigMode, "SQLSetConfigMode") &&
           resolve(in.manageDataSources, "SQLManageDataSources") &&
           resolve(in.installerError, "SQLInstallerError");
}

// The installer's profile calls in the user's ini, with its configuration mode put back.
class UserIni {
public:
    explicit UserIni(const Installer& in) : in_(in) {
        in_.getConfigMode(&saved_);
        in_.setConfigMode(ODBC_USER_DSN);
    }
    ~UserIni() { in_.setConfigMode(saved_); }
    UserIni(const UserIni&) = delete;
    UserIni& operator=(const UserIni&) = delete;

    bool hasSection() {
        std::string names(65536, '\0');
        const int n = in_.getProfile(nullptr, nullptr, "", names.data(), static_cast<int>(names.size()), kIniFile);
        for (std::size_t at = 0; n > 0 && at < names.size() && names[at];) {
            const std::string name(names.c_str() + at);
            if (strcasecmp(name.c_str(), kSection) == 0) return true;
            at += name.size() + 1;
        }
        return false;
    }
    // The value, or false when the key is absent (read as "no such value").
    bool read(std::string& value) {
        static const char kAbsent[] = "\001absent\001";
        char buf[512] = "";
        in_.getProfile(kSection, kKey, kAbsent, buf, sizeof buf, kIniFile);
        buf[sizeof buf - 1] = 0;
        if (std::strcmp(buf, kAbsent) == 0) return false;
        value = buf;
        return true;
    }
    int write(const std::string& value) {
        return in_.writeProfile(kSection, kKey, value.c_str(), kIniFile) ? kOk : kAccessDenied;
    }

private:
    const Installer& in_;
    UWORD saved_ = ODBC_BOTH_DSN;
};

int openAdmin(const char* fileDsnDir, const char* workDir, void* window) {
    Installer in{};
    if (!loadInstaller(in)) return kNotFound;
    int status;
    bool restore = false;
    std::string old;
    {
        UserIni ini(in);
        if (ini.hasSection()) {
            status = ini.read(old) ? kOk : kNotFound;
            if (status == kOk && fileDsnDir) {
                restore = true;
                status = ini.write(fileDsnDir);
            }
        } else {
            status = kNotFound;
            if (fileDsnDir) status = ini.write(fileDsnDir);  // creates the section
        }
    }
    if (workDir && chdir(workDir) != 0) {
        // The administrator still runs, from wherever the process already is.
    }
    // There is no desktop window here: NULL stands for it. The driver manager reads a
    // non-NULL window as its ODBCINSTWND record naming the user-interface plug-in.
    if (!in.manageDataSources(static_cast<HWND>(window))) {
        DWORD code = 0;
        char message[512] = "";
        WORD length = 0;
        in.installerError(1, &code, message, sizeof message - 1, &length);
        message[sizeof message - 1] = 0;
        messageBox("Quillmark", message);
    }
    if (restore && status == kOk) {
        UserIni ini(in);
        status = ini.write(old);
    }
    return status;
}

}  // namespace

}  // namespace orvane::db

using namespace orvane::db;

extern "C" {

int tqDBWin_openODBCAdminA(const char* fileDsnDir, const char* workDir, void* window) noexcept {
    return orvane::guarded(kGenericError, [&] { return openAdmin(fileDsnDir, workDir, window); });
}

int tqDBWin_openODBCAdminW(const tqWChar* fileDsnDir, const tqWChar* workDir, void* window) noexcept {
    return orvane::guarded(kGenericError, [&] {
        const std::string dir = narrow(fileDsnDir), work = narrow(workDir);
        return openAdmin(fileDsnDir ? dir.c_str() : nullptr, workDir ? work.c_str() : nullptr, window);
    });
}

}  // extern "C"
