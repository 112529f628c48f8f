// The installers as a user runs them: a silent install and uninstall, an upgrade over a running
// copy, an older setup over a newer installation, and the start-at-sign-in choice.
#include "e2e/support/murmuro_run.h"
#include "e2e/ui/program_windows.h"

#include <gtest/gtest.h>
#include <shlobj.h>

namespace murmuro::e2e {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Murmuro";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

std::filesystem::path KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::filesystem::path result;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
  CoTaskMemFree(path);
  return result;
}
std::filesystem::path InstallFolder() { return KnownFolder(FOLDERID_LocalAppData) / "Programs" / "Murmuro"; }
// A folder of the user's that a test offers with /D=.
std::filesystem::path ToolsFolder() { return KnownFolder(FOLDERID_LocalAppData) / "Tools"; }
std::filesystem::path InstalledProgram() { return InstallFolder() / "murmuro.exe"; }
std::filesystem::path Shortcut() { return KnownFolder(FOLDERID_Programs) / "Murmuro.lnk"; }
std::wstring Quoted(const std::filesystem::path& path) { return L"\"" + path.wstring() + L"\""; }

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::optional<std::wstring> ReadString(const wchar_t* key, const wchar_t* value) {
  wchar_t text[1024] = {};
  DWORD size = sizeof text;
  if (RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return text;
}
std::optional<std::wstring> RunValue() { return ReadString(kRunKey, L"Murmuro"); }
// Task Manager's record of the start at sign-in: its first byte is even when enabled, odd when disabled.
void SetStartApproved(int first) {
  const BYTE data[12] = {static_cast<BYTE>(first)};
  RegSetKeyValueW(HKEY_CURRENT_USER, kApprovedKey, L"Murmuro", REG_BINARY, data, sizeof data);
}
std::optional<int> StartApproved() {
  BYTE data[12] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CURRENT_USER, kApprovedKey, L"Murmuro", RRF_RT_REG_BINARY, nullptr, data, &size)) return {};
  return data[0];
}
bool UninstallEntryExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Runs a command line to its end; with `wholeTree`, also every process it starts (an uninstaller
// hands over to a copy of itself in the temp folder and returns at once). The first process's
// exit code, or nullopt when it could not start or did not end in time.
std::optional<DWORD> RunToEnd(std::wstring commandLine, bool wholeTree = false, DWORD waitMs = 60000) {
  win32::UniqueKernelHandle job(wholeTree ? CreateJobObjectW(nullptr, nullptr) : nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                      &startup, &info)) {
    return std::nullopt;
  }
  win32::UniqueKernelHandle process(info.hProcess);
  win32::UniqueKernelHandle thread(info.hThread);
  if (job && !AssignProcessToJobObject(job.get(), process.get())) {
    TerminateProcess(process.get(), 1);
    return std::nullopt;
  }
  ResumeThread(thread.get());
  if (WaitForSingleObject(process.get(), waitMs) != WAIT_OBJECT_0) return std::nullopt;
  const auto treeEnded = [&] {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    return QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &accounting,
                                     sizeof accounting, nullptr) && accounting.ActiveProcesses == 0;
  };
  if (job && !WaitUntil(treeEnded, waitMs)) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

std::optional<DWORD> RunSetup(const char* installer, const std::wstring& options = L"/S") {
  return RunToEnd(Quoted(HostPath(installer)) + L" " + options);
}

// A copy of Murmuro running from the installation, seen by its hidden window.
struct Copy {
  DWORD Pid = 0;
  HWND Window = nullptr;
};
std::vector<Copy> InstalledCopies() {
  std::vector<Copy> copies;
  EnumWindows(
      [](HWND window, LPARAM found) -> BOOL {
        wchar_t cls[64] = {};
        if (!GetClassNameW(window, cls, 64) || std::wstring(cls) != kMainWindowClass) return TRUE;
        Copy copy{0, window};
        GetWindowThreadProcessId(window, &copy.Pid);
        win32::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, copy.Pid));
        wchar_t image[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (process && QueryFullProcessImageNameW(process.get(), 0, image, &size) &&
            SamePath(image, InstalledProgram().wstring())) {
          reinterpret_cast<std::vector<Copy>*>(found)->push_back(copy);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&copies));
  return copies;
}

// Ends what a test left running, then removes every trace of an installation: each test starts
// on a machine without Murmuro.
void ForgetInstallation() {
  for (const Copy& copy : InstalledCopies()) {
    win32::UniqueKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, copy.Pid));
    PostMessageW(copy.Window, WM_CLOSE, 0, 0);
    if (process && WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 1);
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Murmuro");
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kApprovedKey, L"Murmuro");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Murmuro");
  std::error_code ignored;
  std::filesystem::remove_all(InstallFolder(), ignored);
  std::filesystem::remove_all(ToolsFolder(), ignored);
  std::filesystem::remove(Shortcut(), ignored);
}

std::string FileVersion(const std::filesystem::path& file) {
  DWORD ignored = 0;
  std::vector<char> data(GetFileVersionInfoSizeW(file.c_str(), &ignored));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (data.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size)) {
    return {};
  }
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS));
}

std::wstring Env(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? value : L"";
}

void WriteFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// Another path to the same file: under Wine the Unix one through drive Z:, elsewhere a hard link.
std::filesystem::path AnotherPathTo(const std::filesystem::path& file) {
  const std::string unix = UnixPath(file);
  if (!unix.empty()) return L"Z:" + std::filesystem::path(unix).make_preferred().wstring();
  const std::filesystem::path link = file.parent_path() / "linked.exe";
  return CreateHardLinkW(link.c_str(), file.c_str(), nullptr) ? link : std::filesystem::path();
}

// Settings a user has made: they differ from the default kel.dat in every line, and the program
// writes them back unchanged.
constexpr char kUserSettings[] = "0\r\n1\r\nbrb,be right back\r\nzz,edited by the user\r\n";

class Installer : public ::testing::Test {
 protected:
  void SetUp() override { ForgetInstallation(); }
  void TearDown() override { ForgetInstallation(); }
};

TEST_F(Installer, SilentInstallStartsAtSignInAndUninstallsThroughItsEntry) {
  ASSERT_EQ(RunSetup("MURMURO_SETUP"), std::optional<DWORD>(0));

  const std::filesystem::path folder = InstallFolder();
  for (const char* name : {"murmuro.exe", "README.txt", "uninstall.exe"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / name)) << name;
  }
  EXPECT_EQ(ReadAll(folder / "kel.dat"), ReadAll(HostPath("MURMURO_DEFAULT_SETTINGS")));
  EXPECT_TRUE(std::filesystem::is_regular_file(Shortcut())) << Shortcut();
  EXPECT_EQ(ReadString(kUninstallKey, L"DisplayName"), std::optional<std::wstring>(L"Murmuro"));
  EXPECT_EQ(ReadString(kUninstallKey, L"InstallLocation"), std::optional<std::wstring>(folder.wstring()));
  EXPECT_EQ(ReadString(kUninstallKey, L"UninstallString"), Quoted(folder / "uninstall.exe"));

  // One version everywhere: the setup's, the uninstall entry's, the program's and its manifest's.
  const std::wstring version = Env(L"MURMURO_VERSION");
  EXPECT_EQ(ReadString(kUninstallKey, L"DisplayVersion"), std::optional<std::wstring>(version));
  EXPECT_NE(HostPath("MURMURO_SETUP").filename().wstring().find(L"-" + version + L"-"), std::wstring::npos);
  const std::string narrow(version.begin(), version.end());
  EXPECT_EQ(FileVersion(InstalledProgram()), narrow);
  EXPECT_NE(ReadAll(InstalledProgram()).find("name=\"Murmuro\" version=\"" + narrow + ".0\""), std::string::npos)
      << "the manifest's version";

  EXPECT_EQ(RunValue(), Quoted(InstalledProgram()));
  MurmuroRun run(std::nullopt, InstalledProgram());
  ASSERT_TRUE(run.Start()) << "the installed program did not come up";
  EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(run.Window()); }));

  // Through the entry, as Windows' app list runs it, while the program runs.
  SetStartApproved(3);
  const std::optional<std::wstring> uninstall = ReadString(kUninstallKey, L"UninstallString");
  ASSERT_TRUE(uninstall);
  EXPECT_EQ(RunToEnd(*uninstall + L" /S", true), std::optional<DWORD>(0));
  EXPECT_EQ(run.WaitForExit(0), std::optional<DWORD>(0)) << "the running copy, ended first by its own Exit";
  for (const char* name : {"murmuro.exe", "README.txt", "uninstall.exe"}) {
    EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(Shortcut()));
  EXPECT_FALSE(UninstallEntryExists());
  EXPECT_EQ(RunValue(), std::nullopt);
  EXPECT_EQ(StartApproved(), std::nullopt);
  EXPECT_EQ(ReadAll(folder / "kel.dat"), ReadAll(HostPath("MURMURO_DEFAULT_SETTINGS")));
}

TEST_F(Installer, UpgradeOverARunningCopyKeepsTheSettingsAndAnOlderSetupIsRefused) {
  ASSERT_EQ(RunSetup("MURMURO_SETUP"), std::optional<DWORD>(0));
  EXPECT_EQ(ReadAll(InstallFolder() / "README.txt"), ReadAll(HostPath("MURMURO_README")));
  WriteFile(InstallFolder() / "kel.dat", kUserSettings);
  MurmuroRun old(std::nullopt, InstalledProgram());
  ASSERT_TRUE(old.Start()) << "exit code " << old.WaitForExit(0).value_or(STILL_ACTIVE) << ", program file "
                           << (std::filesystem::exists(InstalledProgram()) ? "there" : "gone");

  ASSERT_EQ(RunSetup("MURMURO_SETUP_NEXT"), std::optional<DWORD>(0));
  // Ended by its own Exit (exit code 0, settings written back) before the setup finished.
  EXPECT_EQ(old.WaitForExit(0), std::optional<DWORD>(0));
  EXPECT_EQ(ReadAll(InstallFolder() / "kel.dat"), kUserSettings);
  const std::wstring next = Env(L"MURMURO_NEXT_VERSION");
  EXPECT_EQ(ReadString(kUninstallKey, L"DisplayVersion"), std::optional<std::wstring>(next));
  EXPECT_EQ(RunValue(), Quoted(InstalledProgram())) << "the earlier choice: on";
  const std::string readme = ReadAll(HostPath("MURMURO_NEXT_README"));
  EXPECT_EQ(ReadAll(InstallFolder() / "README.txt"), readme);
  // The copy that ran before runs again, from the new files.
  std::vector<Copy> copies;
  ASSERT_TRUE(WaitUntil([&] { return (copies = InstalledCopies()).size() == 1; }, 20000));
  EXPECT_NE(copies[0].Pid, old.ProcessId());
  EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(copies[0].Window); }));

  // The older setup over the newer installation: refused, the running copy left alone.
  const std::string uninstaller = ReadAll(InstallFolder() / "uninstall.exe");
  const auto programWritten = std::filesystem::last_write_time(InstalledProgram());
  const std::optional<DWORD> refused = RunSetup("MURMURO_SETUP");
  ASSERT_TRUE(refused);
  EXPECT_NE(*refused, 0u);
  EXPECT_EQ(ReadString(kUninstallKey, L"DisplayVersion"), std::optional<std::wstring>(next));
  EXPECT_TRUE(ReadAll(InstallFolder() / "uninstall.exe") == uninstaller) << "uninstall.exe was replaced";
  EXPECT_EQ(std::filesystem::last_write_time(InstalledProgram()), programWritten);
  EXPECT_EQ(ReadAll(InstallFolder() / "README.txt"), readme);
  EXPECT_EQ(ReadAll(InstallFolder() / "kel.dat"), kUserSettings);
  const std::vector<Copy> after = InstalledCopies();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].Pid, copies[0].Pid);
}

TEST_F(Installer, StartAtSignInFollowsTheLastChoiceAndExistingSettingsStay) {
  EXPECT_NE(RunSetup("MURMURO_SETUP", L"/S /AUTOSTART=off"), std::optional<DWORD>(0));
  EXPECT_FALSE(UninstallEntryExists()) << "a mistyped option installs nothing";
  // Settings left behind by an earlier installation, and Task Manager's enabled, then disabled:
  // the start at sign-in is on by default unless disabled.
  for (const auto& [approved, on] : {std::pair{2, true}, {3, false}}) {
    ForgetInstallation();
    std::filesystem::create_directories(InstallFolder());
    WriteFile(InstallFolder() / "kel.dat", kUserSettings);
    SetStartApproved(approved);
    ASSERT_EQ(RunSetup("MURMURO_SETUP"), std::optional<DWORD>(0));
    EXPECT_TRUE(UninstallEntryExists());
    EXPECT_EQ(RunValue().has_value(), on) << approved;
    EXPECT_EQ(ReadAll(InstallFolder() / "kel.dat"), kUserSettings);
  }
  // A kel.dat Murmuro could not start with stops the setup, which says so and installs nothing.
  for (const bool isFolder : {true, false}) {
    const std::filesystem::path settings = InstallFolder() / "kel.dat";
    std::filesystem::remove(settings);
    if (isFolder) {
      std::filesystem::create_directory(settings);
    } else {
      WriteFile(settings, "");
    }
    EXPECT_EQ(RunSetup("MURMURO_SETUP_NEXT"), std::optional<DWORD>(7)) << isFolder;
    EXPECT_EQ(ReadString(kUninstallKey, L"DisplayVersion"), Env(L"MURMURO_VERSION"));
    EXPECT_EQ(std::filesystem::is_directory(settings), isFolder);
    std::filesystem::remove(settings);
  }
  WriteFile(InstallFolder() / "kel.dat", kUserSettings);
  ASSERT_EQ(RunSetup("MURMURO_SETUP_NEXT"), std::optional<DWORD>(0));
  EXPECT_EQ(RunValue(), std::nullopt) << "an upgrade keeps it off";
  ASSERT_EQ(RunSetup("MURMURO_SETUP_NEXT", L"/S /AUTOSTART=1"), std::optional<DWORD>(0));
  EXPECT_EQ(RunValue(), Quoted(InstalledProgram()));
  EXPECT_EQ(StartApproved(), std::nullopt) << "the explicit choice overrides Task Manager's";
  EXPECT_EQ(ReadAll(InstallFolder() / "kel.dat"), kUserSettings);
  // Disabled again: an upgrade leaves both alone; /AUTOSTART=0 turns it off.
  SetStartApproved(3);
  ASSERT_EQ(RunSetup("MURMURO_SETUP_NEXT"), std::optional<DWORD>(0));
  EXPECT_EQ(RunValue(), Quoted(InstalledProgram()));
  EXPECT_EQ(StartApproved(), std::optional<int>(3));
  ASSERT_EQ(RunSetup("MURMURO_SETUP_NEXT", L"/S /AUTOSTART=0"), std::optional<DWORD>(0));
  EXPECT_EQ(RunValue(), std::nullopt);
}

TEST_F(Installer, AFolderOfTheUsersGetsAMurmuroFolderInsideAndTheLastFolderIsFoundAgain) {
  const std::filesystem::path tools = ToolsFolder();
  constexpr char kUsers[] = "the user's\r\n";
  const struct {
    std::vector<const char*> holds;
    std::filesystem::path installedInto;
  } rows[] = {{{"kel.dat", "kel.dat.bak"}, tools},
              {{}, tools},
              // What a first install that stopped part-way leaves: the next one finishes there.
              {{"kel.dat", "murmuro.exe.new", "README.txt.new"}, tools},
              {{"kel.dat", "murmuro.exe"}, tools},
              {{"README.txt"}, tools / "Murmuro"},
              {{"kel.dat", "README.txt"}, tools / "Murmuro"}};  // a kel.dat of the user's own
  for (const auto& row : rows) {
    ForgetInstallation();
    std::filesystem::create_directories(tools);
    for (const char* name : row.holds) WriteFile(tools / name, kUsers);
    ASSERT_EQ(RunSetup("MURMURO_SETUP", L"/S /D=" + tools.wstring()), std::optional<DWORD>(0));
    EXPECT_EQ(ReadString(kUninstallKey, L"InstallLocation"), row.installedInto.wstring());
    for (const std::string name : row.holds) {
      if (name.ends_with(".new")) {
        EXPECT_FALSE(std::filesystem::exists(tools / name)) << name;
      } else {
        EXPECT_EQ(ReadAll(tools / name) == kUsers, name != "murmuro.exe") << name;
      }
    }
  }
  // Uninstalled and installed again: into the same folder, where the settings stayed.
  const std::filesystem::path folder = tools / "Murmuro";
  ASSERT_EQ(RunToEnd(Quoted(folder / "uninstall.exe") + L" /S", true), std::optional<DWORD>(0));
  EXPECT_EQ(ReadAll(tools / "README.txt"), kUsers);
  ASSERT_EQ(RunSetup("MURMURO_SETUP"), std::optional<DWORD>(0));
  EXPECT_EQ(ReadString(kUninstallKey, L"InstallLocation"), folder.wstring());

  // One installation: an upgrade to another folder is refused; the folder it was given is its own.
  EXPECT_EQ(RunSetup("MURMURO_SETUP_NEXT", L"/S /D=" + (tools / "Other").wstring()), std::optional<DWORD>(8));
  EXPECT_EQ(ReadString(kUninstallKey, L"DisplayVersion"), Env(L"MURMURO_VERSION"));
  EXPECT_FALSE(std::filesystem::exists(tools / "Other"));
  ASSERT_EQ(RunSetup("MURMURO_SETUP_NEXT", L"/S /D=" + tools.wstring()), std::optional<DWORD>(0));
  EXPECT_EQ(ReadString(kUninstallKey, L"InstallLocation"), folder.wstring());
  // Its program gone (a moved profile): installed anew where /D= says, not in the last folder,
  // even run unquoted from a path with an apostrophe.
  std::filesystem::remove(folder / "murmuro.exe");
  const std::filesystem::path setup = tools / "it's" / "setup.exe";
  std::filesystem::create_directories(setup.parent_path());
  std::filesystem::copy_file(HostPath("MURMURO_SETUP_NEXT"), setup);
  const std::filesystem::path moved = tools / "Moved";
  ASSERT_EQ(RunToEnd(setup.wstring() + L" /S /D=" + moved.wstring()), std::optional<DWORD>(0));
  EXPECT_EQ(ReadString(kUninstallKey, L"InstallLocation"), moved.wstring());
  EXPECT_TRUE(std::filesystem::is_regular_file(moved / "murmuro.exe"));

  // The recorded folder, after an uninstall, given files of the user's: the next install goes into
  // a Murmuro folder inside it, and is refused while that holds files of the user's too.
  ASSERT_EQ(RunToEnd(Quoted(moved / "uninstall.exe") + L" /S", true), std::optional<DWORD>(0));
  for (const char* name : {"README.txt", "notes.txt", "Murmuro/notes.txt"}) {
    std::filesystem::create_directories((moved / name).parent_path());
    WriteFile(moved / name, kUsers);
  }
  EXPECT_EQ(RunSetup("MURMURO_SETUP"), std::optional<DWORD>(9));
  EXPECT_FALSE(UninstallEntryExists());
  std::filesystem::remove(moved / "Murmuro" / "notes.txt");
  ASSERT_EQ(RunSetup("MURMURO_SETUP"), std::optional<DWORD>(0));
  EXPECT_EQ(ReadString(kUninstallKey, L"InstallLocation"), (moved / "Murmuro").wstring());
  EXPECT_EQ(ReadAll(moved / "README.txt"), kUsers);
}

TEST_F(Installer, AnUninstallerRemovesOnlyWhatNamesItsOwnFolder) {
  const std::filesystem::path tools = ToolsFolder();
  // Installed, the folder renamed (as a changed drive letter would), then installed anew elsewhere.
  ASSERT_EQ(RunSetup("MURMURO_SETUP", L"/S /D=" + (tools / "A").wstring()), std::optional<DWORD>(0));
  std::filesystem::rename(tools / "A", tools / "B");
  const std::filesystem::path current = tools / "C";
  ASSERT_EQ(RunSetup("MURMURO_SETUP", L"/S /D=" + current.wstring()), std::optional<DWORD>(0));
  SetStartApproved(3);
  EXPECT_EQ(RunValue(), Quoted(current / "murmuro.exe"));

  const std::filesystem::path old = tools / "B";
  EXPECT_EQ(RunToEnd(Quoted(old / "uninstall.exe") + L" /S _?=" + old.wstring()), std::optional<DWORD>(0));
  for (const char* name : {"murmuro.exe", "README.txt"}) EXPECT_FALSE(std::filesystem::exists(old / name)) << name;
  EXPECT_TRUE(std::filesystem::is_regular_file(old / "kel.dat"));
  EXPECT_EQ(RunValue(), Quoted(current / "murmuro.exe"));
  EXPECT_EQ(StartApproved(), std::optional<int>(3));
  EXPECT_TRUE(std::filesystem::is_regular_file(Shortcut()));
  EXPECT_EQ(ReadString(kUninstallKey, L"InstallLocation"), current.wstring());

  // A folder without uninstall.exe is not Murmuro's: refused, its files left alone.
  const std::filesystem::path users = tools / "Users";
  std::filesystem::create_directories(users);
  constexpr char kUsers[] = "the user's\r\n";
  for (const char* name : {"murmuro.exe", "README.txt"}) WriteFile(users / name, kUsers);
  EXPECT_EQ(RunToEnd(Quoted(current / "uninstall.exe") + L" /S _?=" + users.wstring()), std::optional<DWORD>(9));
  for (const char* name : {"murmuro.exe", "README.txt"}) EXPECT_EQ(ReadAll(users / name), kUsers) << name;
  EXPECT_TRUE(UninstallEntryExists());

  EXPECT_EQ(RunToEnd(Quoted(current / "uninstall.exe") + L" /S", true), std::optional<DWORD>(0));
  EXPECT_EQ(RunValue(), std::nullopt);
  EXPECT_EQ(StartApproved(), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(Shortcut()));
  EXPECT_FALSE(UninstallEntryExists());
}

TEST_F(Installer, EveryCopyOfTheInstalledFileIsClosedOrNoneAndAFailureStartsItAgain) {
  ASSERT_EQ(RunSetup("MURMURO_SETUP"), std::optional<DWORD>(0));
  const std::optional<std::wstring> installed = ReadString(kUninstallKey, L"DisplayVersion");
  MurmuroRun first(std::nullopt, AnotherPathTo(InstalledProgram()));
  ASSERT_TRUE(first.Start());
  // A second copy says "already running" in a box that no WM_CLOSE ends: nothing is closed.
  MurmuroRun second(std::nullopt, InstalledProgram());
  second.Start(0);
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = ProcessWindow(second.ProcessId(), L"#32770")) != nullptr; }));
  const ULONGLONG asked = GetTickCount64();
  EXPECT_EQ(RunSetup("MURMURO_SETUP_NEXT"), std::optional<DWORD>(6));
  EXPECT_GE(GetTickCount64() - asked, 4500u) << "refused before looking again for 5 s";
  EXPECT_EQ(first.WaitForExit(0), std::nullopt);
  PostMessageW(box, WM_CLOSE, 0, 0);
  ASSERT_EQ(second.WaitForExit(), std::optional<DWORD>(0));

  // Held open elsewhere (a virus scanner, say), the file can be neither replaced nor deleted; then
  // a folder where the uninstaller goes fails that write. The uninstaller runs in place (_?=) to
  // give its own exit code.
  // A shortcut held so makes the uninstaller fail after it has set the program aside and removed
  // the start at sign-in and Task Manager's record of it: all of it is put back.
  const std::filesystem::path uninstaller = InstallFolder() / "uninstall.exe";
  const std::wstring setup = Quoted(HostPath("MURMURO_SETUP_NEXT")) + L" /S";
  const std::wstring uninstall = Quoted(uninstaller) + L" /S _?=" + InstallFolder().wstring();
  const struct {
    std::wstring command;
    DWORD code;
    std::filesystem::path held;
  } runs[] = {{setup, 2, InstalledProgram()}, {uninstall, 2, InstalledProgram()}, {uninstall, 7, Shortcut()},
              {setup, 7, {}}};
  DWORD closed = first.ProcessId();
  SetStartApproved(2);
  for (const auto& [command, code, heldFile] : runs) {
    win32::UniqueKernelHandle held;
    if (heldFile.empty()) {
      std::filesystem::remove(uninstaller);
      std::filesystem::create_directory(uninstaller);
    } else {
      held.reset(CreateFileW(heldFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    EXPECT_EQ(RunToEnd(command), std::optional<DWORD>(code)) << command;
    std::vector<Copy> copies;
    ASSERT_TRUE(WaitUntil([&] { return (copies = InstalledCopies()).size() == 1 && copies[0].Pid != closed; },
                          20000)) << "the closed copy runs again";
    closed = copies[0].Pid;
  }
  EXPECT_EQ(first.WaitForExit(0), std::optional<DWORD>(0));
  EXPECT_EQ(ReadString(kUninstallKey, L"DisplayVersion"), installed);
  EXPECT_EQ(RunValue(), Quoted(InstalledProgram()));
  EXPECT_EQ(StartApproved(), std::optional<int>(2));
  EXPECT_TRUE(std::filesystem::is_regular_file(Shortcut()));
  EXPECT_TRUE(std::filesystem::is_regular_file(InstalledProgram()));
  for (const auto& entry : std::filesystem::directory_iterator(InstallFolder())) {
    EXPECT_NE(entry.path().extension(), ".new") << "left behind: " << entry.path();
    EXPECT_NE(entry.path().extension(), ".old") << "left behind: " << entry.path();
  }

  // A copy too busy to take the request in time (here its thread is held still): the setup gives
  // up, and the copy, reading the request late, stays running.
  const std::vector<Copy> busy = InstalledCopies();
  ASSERT_EQ(busy.size(), 1u);
  win32::UniqueKernelHandle thread(
      OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(busy[0].Window, nullptr)));
  ASSERT_TRUE(thread && SuspendThread(thread.get()) != static_cast<DWORD>(-1));
  EXPECT_EQ(RunToEnd(setup), std::optional<DWORD>(5));
  ResumeThread(thread.get());
  // Each answer comes from its next wait for messages, so the request has been read before the last;
  // taken, it would have removed the icon then.
  for (int i = 0; i < 3; ++i) {
    DWORD_PTR ignored = 0;
    EXPECT_NE(SendMessageTimeoutW(busy[0].Window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored), 0) << i;
  }
  EXPECT_TRUE(TrayIconExists(busy[0].Window)) << "the late request was taken";
  win32::UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, busy[0].Pid));
  EXPECT_EQ(WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace
}  // namespace murmuro::e2e
