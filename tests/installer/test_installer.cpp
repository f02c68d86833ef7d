// The installer as a user meets it, run silently: what it installs, the installed program
// starting and ending from its menu command, and an uninstall, while the program runs, that
// leaves nothing behind.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which they need
#include <shlobj.h>
#include <shobjidl.h>

#include "resources/resource.h"
#include "started_process.h"

namespace {

std::string folder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool eventually_true(bool (*condition)(const std::string&), const std::string& arg, DWORD ms) {
    const DWORD until = GetTickCount() + ms;
    while (!condition(arg)) {
        if (GetTickCount() > until) {
            return false;
        }
        Sleep(100);
    }
    return true;
}

// The file a shortcut starts, and its arguments after a space.
std::string shortcut_target(const std::string& link) {
    std::string target;
    IShellLinkA* shell_link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shell_link)))) {
        return target;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        std::wstring wide(link.begin(), link.end());
        char path[MAX_PATH] = "";
        if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
            SUCCEEDED(shell_link->GetPath(path, MAX_PATH, nullptr, 0))) {
            target = path;
            char arguments[MAX_PATH] = "";
            if (SUCCEEDED(shell_link->GetArguments(arguments, MAX_PATH)) && arguments[0] != '\0') {
                target += std::string(" ") + arguments;
            }
        }
        file->Release();
    }
    shell_link->Release();
    return target;
}

std::string file_version(const std::string& exe) {
    DWORD ignored = 0;
    std::string data(GetFileVersionInfoSizeA(exe.c_str(), &ignored), '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(data.size()), &data[0]) ||
        !VerQueryValueA(&data[0], "\\", reinterpret_cast<void**>(&info), &size)) {
        return "";
    }
    void* name = nullptr;
    VerQueryValueA(&data[0], "\\StringFileInfo\\041504B0\\FileDescription", &name, &size);
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + " " + (name ? static_cast<char*>(name) : "");
}

const char* const UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelikant";

const char* const RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string registry_value(HKEY root, const char* key, const char* name) {
    char value[MAX_PATH] = "";
    DWORD size = sizeof(value);
    if (RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return "";
    }
    return value;
}
std::string uninstall_value(const char* name) {
    return registry_value(HKEY_CURRENT_USER, UNINSTALL_KEY, name);
}
// The user's autostart, which the program's tray menu also turns on and off.
std::string run_value() {
    return registry_value(HKEY_CURRENT_USER, RUN_KEY, "Pelikant");
}

bool nothing_left(const std::string& dir) {
    HKEY key = nullptr;
    const bool registered =
        RegOpenKeyExA(HKEY_CURRENT_USER, UNINSTALL_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (registered) {
        RegCloseKey(key);
    }
    return !registered && !exists(dir) && !exists(folder(CSIDL_PROGRAMS) + "\\Pelikant.lnk") &&
           run_value().find(dir) == std::string::npos;
}

// What a run that stopped half-way may have left: removed here, not by an uninstaller that may
// not have survived that run. A copy still running holds its file open.
void remove_leftovers(const std::string& dir) {
    for (HWND window; (window = FindWindowA("Pelikant", nullptr)) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (process == nullptr) {
            break;
        }
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    for (const char* file : {"\\pelikant.exe", "\\Odinstaluj.exe"}) {
        DeleteFileA((dir + file).c_str());
    }
    RemoveDirectoryA(dir.c_str());
    DeleteFileA((folder(CSIDL_PROGRAMS) + "\\Pelikant.lnk").c_str());
    RegDeleteKeyValueA(HKEY_CURRENT_USER, RUN_KEY, "Pelikant");
    RegDeleteKeyA(HKEY_CURRENT_USER, UNINSTALL_KEY);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY); // an earlier installation's, for all users
}

} // namespace

TEST(Installer, InstallsStartsEndsAndUninstallsWithoutATrace) {
    CoInitialize(nullptr);
    const std::string dir = folder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Pelikant";
    const std::string exe = dir + "\\pelikant.exe";
    const std::string uninstaller = dir + "\\Odinstaluj.exe";
    remove_leftovers(dir);
    ASSERT_TRUE(nothing_left(dir)) << "an earlier installation is still there";

    const std::string installer = beside_test(PELIKANT_INSTALLER_NAME);
    ASSERT_TRUE(exists(installer)) << installer << " is missing: build the target installer";
    CProcess setup(installer, "/S");
    ASSERT_TRUE(setup.started());
    ASSERT_EQ(setup.wait(60000), 0);

    ASSERT_TRUE(exists(exe));
    EXPECT_EQ(file_version(exe), PELIKANT_VERSION " Pelikant") << "the name balloons are labelled with";
    EXPECT_EQ(shortcut_target(folder(CSIDL_PROGRAMS) + "\\Pelikant.lnk"), exe) << "the user's Start menu";
    EXPECT_EQ(run_value(), "\"" + exe + "\" /tray") << "the autostart starts in the tray";
    EXPECT_EQ(uninstall_value("DisplayName"), "Pelikant");
    EXPECT_EQ(uninstall_value("UninstallString"), "\"" + uninstaller + "\"");
    EXPECT_EQ(registry_value(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName"), "") << "for all users";

    {
        CProcess program(exe);
        ASSERT_TRUE(program.started());
        HWND window = program.main_window(20000);
        ASSERT_NE(window, nullptr) << "the installed program shows no window";
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0); // "Zakończ"
        EXPECT_EQ(program.wait(15000), 0) << "the installed program did not end on its exit command";
    }

    // The uninstaller ends a running copy itself; it copies itself away and returns at once, and
    // what it removes goes on after.
    CProcess running(exe);
    ASSERT_NE(running.main_window(20000), nullptr);
    EXPECT_EQ(CProcess(uninstaller, "/S").wait(30000), 0);
    EXPECT_EQ(running.wait(15000), 0) << "the uninstaller did not end the running program";
    EXPECT_TRUE(eventually_true(nothing_left, dir, 30000)) << "the uninstall left something behind";

    // Turned off, the autostart stays off over an upgrade; another copy's and the user's data stay.
    ASSERT_EQ(CProcess(installer, "/S").wait(60000), 0);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, RUN_KEY, "Pelikant");
    ASSERT_EQ(CProcess(installer, "/S").wait(60000), 0);
    EXPECT_EQ(run_value(), "") << "the upgrade turned the autostart on";
    const std::string other = "C:\\Inne\\pelikant.exe", data = folder(CSIDL_LOCAL_APPDATA) + "\\Pelikant";
    RegSetKeyValueA(HKEY_CURRENT_USER, RUN_KEY, "Pelikant", REG_SZ, other.c_str(), other.size() + 1);
    CreateDirectoryA(data.c_str(), nullptr);
    EXPECT_EQ(CProcess(uninstaller, "/S").wait(30000), 0);
    EXPECT_TRUE(eventually_true(nothing_left, dir, 30000) && run_value() == other && exists(data));
    CoUninitialize();
}
