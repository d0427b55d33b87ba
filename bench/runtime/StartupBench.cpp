// Start-up of the runtime browser on the sample project against a bare web view of the same start page:
// the time from starting the process to the start page's load finishing, both under Qt's offscreen
// platform. Usage: runtime_startup_bench [<builder probe> <bare view> <folder>] [benchmark flags]; without
// the three, the probe and the bare view beside this program and the build's sample browser folder. The
// probe is copied into the folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchTable.h"

namespace {

std::string gProbe, gBare, gFolder;

// Starts Program with Args in gFolder and returns the seconds until it writes "loaded"; negative when
// it ends or stays silent for 60 seconds. The process is killed afterwards.
double TimeToLoaded(const std::string& Program, const std::vector<std::string>& Args) {
  int out[2];
  if (pipe(out) != 0) return -1;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    close(out[0]);
    close(out[1]);
    if (chdir(gFolder.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(Program.c_str())};
    for (const std::string& a : Args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(Program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  double seconds = -1;
  std::string seen;
  char buffer[256];
  fd_set set;
  for (;;) {
    FD_ZERO(&set);
    FD_SET(out[0], &set);
    timeval limit{60, 0};
    if (select(out[0] + 1, &set, nullptr, nullptr, &limit) <= 0) break;
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
    if (seen.find("loaded") != std::string::npos) {
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      break;
    }
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(out[0]);
  return seconds;
}

void Measure(benchmark::State& State, const std::string& Program, const std::vector<std::string>& Args) {
  for (auto _ : State) {
    const double s = TimeToLoaded(Program, Args);
    if (s < 0) {
      State.SkipWithError("the program did not report a finished load");
      return;
    }
    State.SetIterationTime(s);
  }
}

void BM_BuilderStartup(benchmark::State& State) {
  Measure(State, gProbe, {});
}
void BM_BareWebViewStartup(benchmark::State& State) {
  Measure(State, gBare, {gFolder + "/start.htm"});
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  // The three paths, when given, come first; benchmark flags start with "--".
  const bool paths = argc >= 4 && std::string(argv[1]).rfind("--", 0) != 0;
  const fs::path here = fs::canonical("/proc/self/exe").parent_path();
  const std::string probe = paths ? argv[1] : (here / "runtime_builder_probe").string();
  gBare = fs::absolute(paths ? argv[2] : (here / "runtime_bare_webview").string()).string();
  gFolder =
      fs::absolute(paths ? fs::path(argv[3]) : here / ".." / ".." / "sample").lexically_normal().string();
  if (!fs::exists(gFolder + "/Config.VX")) {
    std::fprintf(stderr, "%s: no browser folder at %s (build the target sample_browser)\n", argv[0],
                 gFolder.c_str());
    return 2;
  }
  // The probe runs from the browser folder, as a build leaves the program: "#" addresses name its folder.
  gProbe = gFolder + "/BuilderProbe";
  fs::copy_file(probe, gProbe, fs::copy_options::overwrite_existing);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  // Warm the file caches once for both.
  (void)TimeToLoaded(gBare, {gFolder + "/start.htm"});
  (void)TimeToLoaded(gProbe, {});
  benchmark::RegisterBenchmark("Startup/BareWebView", BM_BareWebViewStartup)
      ->UseManualTime()
      ->Iterations(4)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Startup/Builder", BM_BuilderStartup)
      ->UseManualTime()
      ->Iterations(4)
      ->Unit(benchmark::kMillisecond);
  TableRow("Builder start to start page loaded (bare web view, same page)", "Startup/Builder",
           "Startup/BareWebView", "1.1");
  std::vector<char*> bargv{argv[0]};
  for (int i = paths ? 4 : 1; i < argc; ++i)
    bargv.push_back(argv[i]);
  int bargc = static_cast<int>(bargv.size());
  benchmark::Initialize(&bargc, bargv.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
