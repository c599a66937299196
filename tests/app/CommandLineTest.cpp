#include "app/CommandLine.h"
#include "ui/InstallFolder.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/Printing.h"

TEST(DeploymentSwitches, WholeArgumentsSplitAsWindowsSplitsThem) {
    CommandLine none = ParseCommandLine(L"-silent");
    EXPECT_FALSE(none.everyone);
    EXPECT_FALSE(none.pathGiven);
    EXPECT_TRUE(none.logPath.IsEmpty());
    EXPECT_FALSE(ParseCommandLine(nullptr).pathGiven);
    // CommandLineToArgvW gives the running program's path for an empty text: no option may come of it.
    EXPECT_FALSE(ParseCommandLine(L"").pathGiven);

    CommandLine all =
        ParseCommandLine(L"-silent -everyone -path=\"C:\\My Apps\\Memotack\" \"-log=C:\\logs\\setup run.log\"");
    EXPECT_TRUE(all.everyone);
    EXPECT_TRUE(all.pathGiven);
    EXPECT_EQ(all.path, L"C:\\My Apps\\Memotack");
    EXPECT_EQ(all.logPath, L"C:\\logs\\setup run.log");
    // The value also keeps the text as given, for the log, and takes the folder.
    EXPECT_EQ(all.text, L"-silent -everyone -path=\"C:\\My Apps\\Memotack\" \"-log=C:\\logs\\setup run.log\"");
    EXPECT_EQ(RunMode::Silent, all.mode);
    EXPECT_TRUE(all.whyPathRefused.IsEmpty());
    EXPECT_TRUE(ParseCommandLine(nullptr).text.IsEmpty());

    // The last of a repeated switch counts; an empty -path= is still given.
    CommandLine repeated = ParseCommandLine(L"-path=C:\\A -path=D:\\B -log=x.log -log=y.log");
    EXPECT_EQ(repeated.path, L"D:\\B");
    EXPECT_EQ(repeated.logPath, L"y.log");
    CommandLine empty = ParseCommandLine(L"-silent -path= -log=");
    EXPECT_TRUE(empty.pathGiven);
    EXPECT_TRUE(empty.path.IsEmpty());
    EXPECT_EQ(empty.whyPathRefused, L"The folder given with -path= is empty.");
    EXPECT_TRUE(ParseCommandLine(L"-path=\"\"").pathGiven);

    // Whole arguments, case-sensitive: inside another argument or in other spellings they are not switches.
    EXPECT_FALSE(ParseCommandLine(L"-path=C:\\x-everyone").everyone);
    EXPECT_FALSE(ParseCommandLine(L"\"x -everyone\"").everyone);
    EXPECT_FALSE(ParseCommandLine(L"-Everyone /everyone -everyones").everyone);
    EXPECT_FALSE(ParseCommandLine(L"-PATH=C:\\x /path=C:\\x x-path=C:\\x").pathGiven);
    EXPECT_TRUE(ParseCommandLine(L"-LOG=x.log /log=x.log").logPath.IsEmpty());

    // A backslash before a closing quote escapes it, as everywhere on Windows: the folder then
    // holds a quote, which the folder check refuses.
    CommandLine escaped = ParseCommandLine(L"-path=\"C:\\Apps\\\" -everyone");
    EXPECT_EQ(escaped.path, L"C:\\Apps\" -everyone");
    EXPECT_FALSE(escaped.everyone);
    EXPECT_FALSE(InstallFolderProblem(escaped.path).IsEmpty());
    EXPECT_EQ(escaped.whyPathRefused, InstallFolderProblem(escaped.path));

    // The new switches leave the run-mode choice as it was.
    EXPECT_EQ(RunMode::Interactive, ParseCommandLine(L"-everyone -path=C:\\Apps -log=C:\\setup.log").mode);
    EXPECT_EQ(RunMode::Silent, ParseCommandLine(L"-path=C:\\Apps -silent").mode);
}

TEST(RunModes, FirstMatchingSwitchWins) {
    EXPECT_EQ(RunMode::Silent, ParseCommandLine(L"-silent").mode);
    EXPECT_EQ(RunMode::Silent, ParseCommandLine(L"-silent -extract").mode);
    EXPECT_EQ(RunMode::Silent, ParseCommandLine(L"-extract -silent").mode);
    EXPECT_EQ(RunMode::Silent, ParseCommandLine(L"/? -silent").mode);
    EXPECT_EQ(RunMode::ExtractOnly, ParseCommandLine(L"-extract").mode);
    EXPECT_EQ(RunMode::ExtractOnly, ParseCommandLine(L"-extract /?").mode);
    EXPECT_EQ(RunMode::Usage, ParseCommandLine(L"-?").mode);
    EXPECT_EQ(RunMode::Usage, ParseCommandLine(L"/?").mode);
}

TEST(RunModes, SwitchesAreCaseSensitiveSubstrings) {
    // Substring tests: the switch inside a longer argument still counts...
    EXPECT_EQ(RunMode::Silent, ParseCommandLine(L"\"C:\\my-silent-folder\"").mode);
    EXPECT_EQ(RunMode::ExtractOnly, ParseCommandLine(L"x-extractx").mode);
    // ...while other spellings are just unrecognised arguments: the dialog opens.
    EXPECT_EQ(RunMode::Interactive, ParseCommandLine(L"/silent").mode);
    EXPECT_EQ(RunMode::Interactive, ParseCommandLine(L"-SILENT").mode);
    EXPECT_EQ(RunMode::Interactive, ParseCommandLine(L"-Extract").mode);
    EXPECT_EQ(RunMode::Interactive, ParseCommandLine(L"-help").mode);
    EXPECT_EQ(RunMode::Interactive, ParseCommandLine(L"?").mode);
    EXPECT_EQ(RunMode::Interactive, ParseCommandLine(L"").mode);
    EXPECT_EQ(RunMode::Interactive, ParseCommandLine(nullptr).mode);
}

TEST(DeploymentSwitches, OnlyFullPathsOfValidCharactersAreInstallFolders) {
    for (LPCWSTR folder :
         {L"C:\\Deploy\\Memotack", L"d:\\My Apps\\Memotack 8.0a", L"\\\\server\\share",
          L"\\\\server\\share\\Apps\\Memotack", L"C:\\Apps\\Memotack\\", L"C:\\Programme (x86)\\Müller",
          L"C:\\Apps\\COM0\\LPT0", L"C:\\Apps\\CONSOLE\\nul_txt", L"C:\\.Memotack\\v8.0a", L"C:\\Apps\\x.CON"})
        EXPECT_TRUE(InstallFolderProblem(folder).IsEmpty()) << folder;

    EXPECT_EQ(InstallFolderProblem(L""), L"The folder given with -path= is empty.");
    for (LPCWSTR folder : {L"relative\\dir", L"Memotack", L"C:relative", L"\\rooted\\on the current drive", L"C:",
                           L"\\\\server", L"\\\\server\\", L"\\\\\\share", L"1:\\x", L" spaced\\dir"}) {
        CString problem = InstallFolderProblem(folder);
        EXPECT_EQ(problem,
                  CString(L"The folder given with -path= is not a full path such as C:\\Apps\\Memotack: ") + folder)
            << folder;
    }
    for (LPCWSTR folder : {L"C:\\a|b", L"C:\\a?b", L"C:\\a*", L"C:\\x\\y:z", L"C:/Apps/Memotack", L"C:\\a<b>",
                           L"C:\\tab\there", L"C:\\\"quoted\""}) {
        CString problem = InstallFolderProblem(folder);
        EXPECT_EQ(0, problem.Find(L"The folder given with -path= holds a character that Windows folder names cannot "
                                  L"hold"))
            << folder << ": " << problem;
        EXPECT_GT(problem.Find(folder), 0) << folder;
    }
    EXPECT_NE(-1, InstallFolderProblem(L"C:\\a|b").Find(L"(U+007C at position 5)"));

    // Full paths of valid characters that Windows still cannot hold as an install folder.
    const CString folder230 = CString(L"C:\\") + std::wstring(227, L'x').c_str();
    EXPECT_TRUE(InstallFolderProblem(folder230).IsEmpty());
    const CString device = L"is a device path (\\\\.\\ or \\\\?\\), not a folder on a drive or share";
    const CString root = L"is the root of a drive, not a folder of its own";
    const CString folded = L"has an empty, \".\" or \"..\" name, which Windows folds into the folders around it";
    const CString dropped = L"has a name ending in a dot or a space, which Windows drops";
    const CString reserved = L"has a name that Windows keeps for a device (CON, NUL, COM1, LPT1, ...)";
    const CString tooLong = L"is longer than the 230 characters the install can hold";
    const struct {
        CString folder;
        CString reason;
    } refused[] = {
        {L"\\\\.\\C:\\Apps", device},
        {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\Apps", device},
        {L"\\\\?\\C:\\x", device},
        {L"C:\\", root},
        {L"d:\\\\", root},
        {L"C:\\Apps\\.\\Memotack", folded},
        {L"C:\\Apps\\..\\Memotack", folded},
        {L"C:\\Apps\\\\Memotack", folded},
        {L"C:\\Apps\\Memo.", dropped},
        {L"C:\\Apps\\Memo ", dropped},
        {L"\\\\server\\share\\Memo \\x", dropped},
        {L"C:\\Apps\\CON", reserved},
        {L"C:\\prn\\Memotack", reserved},
        {L"\\\\server\\share\\Aux", reserved},
        {L"C:\\Apps\\nul.txt", reserved},
        {L"C:\\Apps\\CON .txt\\", reserved},
        {L"C:\\Apps\\com1", reserved},
        {L"C:\\Apps\\COM9.tar.gz", reserved},
        {L"C:\\Apps\\Lpt5", reserved},
        {L"C:\\Apps\\COM\u00b9", reserved},
        {L"C:\\Apps\\LPT\u00b3.log", reserved},
        {folder230 + L"y", tooLong},
    };
    // The dialog's folder box names itself instead.
    for (const auto& row : refused) {
        EXPECT_EQ(InstallFolderProblem(row.folder), L"The folder given with -path= " + row.reason + L": " + row.folder);
        EXPECT_EQ(InstallFolderProblem(row.folder, L"The install folder"),
                  L"The install folder " + row.reason + L": " + row.folder);
    }
}
