// Project load, close and save per element, for projects of a few hundred to tens of thousands of
// elements, and for projects whose buttons each have a picture of their own. A step that is linear in the
// number of elements shows the same time per element for every size.
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

  // A project of Count buttons, each with a picture file of its own, all listed in its Bitmaps section.
  [[nodiscard]] std::string WritePictures(int Count) const {
    const std::string folder = FDir + "/pictures" + std::to_string(Count);
    fs::create_directory(folder);
    std::string list, buttons;
    for (int i = 0; i < Count; ++i) {
      const std::string picture = folder + "/p" + std::to_string(i) + ".bmp";
      fs::copy_file(Picture(), picture, fs::copy_options::overwrite_existing);
      list += picture + "\r\n";
      buttons += "Object=Button\r\nTop=" + std::to_string(i % 300) + "\r\nLeft=" + std::to_string(i % 400) +
                 "\r\nMask=" + picture + "\r\nTouched=" + picture + "\r\nPressed=" + picture +
                 "\r\nZOrder=" + std::to_string(i) + "\r\nend\r\n";
    }
    const std::string file = folder + ".VX";
    std::ofstream(file, std::ios::binary)
        << "Pelloran=V1.2\r\nObject=Bitmaps\r\n" + list +
               "end\r\nObject=Global\r\nWidth=480\r\nHeight=360\r\nend\r\n" + buttons;
    return file;
  }

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

void LoadFile(benchmark::State& State, int Count, const std::string& File) {
  for (auto _ : State) {
    auto document = std::make_unique<TVXBrowser>(nullptr);
    document->LoadProject(File);
    State.PauseTiming();  // closing the project is measured apart
    document.reset();
    State.ResumeTiming();
  }
  PerElement(State, Count);
}

void Load(benchmark::State& State, const std::string& Kind) {
  const int count = static_cast<int>(State.range(0));
  LoadFile(State, count, Projects().Write(Kind, count));
}

void BM_LoadLabels(benchmark::State& State) {
  Load(State, "Label");
}

void BM_LoadButtons(benchmark::State& State) {
  Load(State, "Button");
}

// Buttons that each show a picture of their own: every picture is listed and looked up by its path.
void BM_LoadPictures(benchmark::State& State) {
  const int count = static_cast<int>(State.range(0));
  LoadFile(State, count, Projects().WritePictures(count));
}

// Closing a loaded project: the document goes with every element.
void Close(benchmark::State& State, const std::string& Kind) {
  const int count = static_cast<int>(State.range(0));
  const std::string file = Projects().Write(Kind, count);
  for (auto _ : State) {
    State.PauseTiming();
    auto document = std::make_unique<TVXBrowser>(nullptr);
    document->LoadProject(file);
    State.ResumeTiming();
    document.reset();
  }
  PerElement(State, count);
}

void BM_CloseLabels(benchmark::State& State) {
  Close(State, "Label");
}

void BM_CloseButtons(benchmark::State& State) {
  Close(State, "Button");
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

BENCHMARK(BM_LoadLabels)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadButtons)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPictures)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloseLabels)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloseButtons)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveLabels)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

// The rows of the benchmark table: the time per element of a project ten times as large against that of
// the smaller one; a linear step keeps them alike.
[[maybe_unused]] const bool kTableRows = [] {
  const auto row = [](const std::string& What, const std::string& Name, int Small) {
    const std::string large = std::to_string(Small * 10), small = std::to_string(Small);
    TableRow(What + " per element, " + large + " vs " + small + " (itself)", Name + "/" + large + "@" + large,
             Name + "/" + small + "@" + small, "1.25");
  };
  row("project load, labels", "BM_LoadLabels", 200);
  row("project load, labels", "BM_LoadLabels", 2000);
  row("project load, buttons", "BM_LoadButtons", 200);
  row("project load, buttons with own pictures", "BM_LoadPictures", 200);
  row("project close, labels", "BM_CloseLabels", 2000);
  row("project close, buttons", "BM_CloseButtons", 200);
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
