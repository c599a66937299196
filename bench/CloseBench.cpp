// Times the "Close Memotack" step as the silent install runs it, with no copy of Memotack running:
// nothing needs waiting for, so the step must cost next to nothing. Exits 1 when the step reports
// a failure or when a copy is running after all (the timing would then measure something else).
#include "bench/BenchClock.h"
#include "framework/CWinApp.h"
#include "ui/InstallerDlg.h"

#include <stdio.h>

#include <algorithm>
#include <vector>

int main() {
    CWinApp app;
    if (::FindWindowW(nullptr, L"PelmoSoftwareMemotackMain")) {
        fprintf(stderr, "a copy of Memotack is running; close it first\n");
        return 1;
    }
    CInstallerDlg dialog;
    dialog.m_bSilent = true;

    const int kRounds = 101;
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        double start = Now();
        bool closed = dialog.CloseRunningApp();
        times.push_back(Now() - start);
        if (!closed) {
            fprintf(stderr, "CloseRunningApp failed with no copy running\n");
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    printf("Close Memotack with no running copy: median %.3f ms, max %.3f ms over %d calls\n",
           times[kRounds / 2] * 1000, times.back() * 1000, kRounds);
    return 0;
}
