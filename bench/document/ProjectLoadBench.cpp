// Project load and save per element, for projects of a few hundred and a few thousand elements. A load
// that is linear in the number of elements shows the same time per element for both sizes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/BenchTable.h"
#include "document/BrowserClasses.h"
#include "platform/ui/Forms.h"

namespace {

namespace fs = std::filesystem;

// A scratch folder with one button picture and projects of N labels or N buttons.
class TProjects {
 public:
  TProjects() {
    std::string pattern = (fs::temp_directory_path() / "pelloran-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    FDir = pattern;
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(24, 12);
    b.SaveToFile(Picture());
  }
  ~TProjects() {
    std::error_code ec;
    fs::remove_all(FDir, ec);
  }
  [[nodiscard]] std::string Picture() const { return FDir + "/b.bmp"; }

  // A project text of Count elements of one kind, each at its own place and stacking value.
  [[nodiscard]] std::string Write(const std::string& Kind, int Count) const {
    std::string text = "Pelloran=V1.2\r\nObject=Bitmaps\r\n" + Picture() +
                       "\r\nend\r\nObject=Global\r\nWidth=480\r\nHeight=360\r\nend\r\n";
    for (int i = 0; i < Count; ++i) {
      const std::string place = "Top=" + std::to_string(i % 300) + "\r\nLeft=" + std::to_string(i % 400) +
                                "\r\nZOrder=" + std::to_string(Count - i) + "\r\n";
      if (Kind == "Label")
        text += "Object=Label\r\n" + place + "Width=60\r\nStyle=Custom Text\r\nText=Label " +
                std::to_string(i) + "\r\nend\r\n";
      else
        text += "Object=Button\r\n" + place + "Mask=" + Picture() + "\r\nTouched=" + Picture() +
                "\r\nPressed=" + Picture() + "\r\nPressaction=Back\r\nend\r\n";
    }
    const std::string file = FDir + "/" + Kind + std::to_string(Count) + ".VX";
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }

 private:
  std::string FDir;
};

const TProjects& Projects() {
  static const TProjects projects;
  return projects;
}

// Seconds per element of one iteration.
void PerElement(benchmark::State& State, int Count) {
  State.counters["per_element"] =
      benchmark::Counter(Count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Load(benchmark::State& State, const std::string& Kind) {
  const int count = static_cast<int>(State.range(0));
  const std::string file = Projects().Write(Kind, count);
  for (auto _ : State) {
    auto document = std::make_unique<TVXBrowser>(nullptr);
    document->LoadProject(file);
    State.PauseTiming();  // closing the project is measured apart
    document.reset();
    State.ResumeTiming();
  }
  PerElement(State, count);
}

void BM_LoadLabels(benchmark::State& State) {
  Load(State, "Label");
}

void BM_LoadButtons(benchmark::State& State) {
  Load(State, "Button");
}

// Closing a loaded project: the document goes with every element.
void BM_CloseButtons(benchmark::State& State) {
  const int count = static_cast<int>(State.range(0));
  const std::string file = Projects().Write("Button", count);
  for (auto _ : State) {
    State.PauseTiming();
    auto document = std::make_unique<TVXBrowser>(nullptr);
    document->LoadProject(file);
    State.ResumeTiming();
    document.reset();
  }
  PerElement(State, count);
}

void BM_SaveLabels(benchmark::State& State) {
  const int count = static_cast<int>(State.range(0));
  TVXBrowser document(nullptr);
  document.LoadProject(Projects().Write("Label", count));
  document.Surface()->Hide();
  const std::string file = Projects().Picture() + ".saved.VX";
  for (auto _ : State)
    document.SaveProject(file);
  PerElement(State, count);
}

BENCHMARK(BM_LoadLabels)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadButtons)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloseButtons)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveLabels)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

// The rows of the benchmark table: the time per element of a project of 2000 elements against that of a
// project of 200; a linear load keeps them alike.
[[maybe_unused]] const bool kTableRows = [] {
  for (const char* kind : {"Labels", "Buttons"}) {
    const std::string name = std::string("BM_Load") + kind;
    TableRow(std::string("project load per element, 2000 vs 200 ") + kind + " (itself)", name + "/2000@2000",
             name + "/200@200", "1.25");
  }
  return true;
}();

}  // namespace

int main(int argc, char** argv) {
  (void)Application->Title();  // starts the window system the design surface needs
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
