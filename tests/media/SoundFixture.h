// A test fixture that records every sound played instead of playing it, with a fresh temporary folder
// (holding a sounds folder) as the working directory for the test's run.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "platform/media/MMSystem.h"

class TRecordedSoundTest : public ::testing::Test {
 protected:
  // The folder is named Prefix plus the process id; SoundsFolder is created inside it.
  TRecordedSoundTest(std::string Prefix, std::string SoundsFolder)
      : FPrefix(std::move(Prefix)), FSoundsFolder(std::move(SoundsFolder)) {}

  void SetUp() override {
    auto recorder = std::make_unique<TRecordingSoundOutput>();
    Out = recorder.get();
    Previous = SetSoundOutput(std::move(recorder));
    Dir = std::filesystem::temp_directory_path() / (FPrefix + std::to_string(::getpid()));
    std::filesystem::create_directories(Dir / FSoundsFolder);
    OldDir = std::filesystem::current_path();
    std::filesystem::current_path(Dir);
  }
  void TearDown() override {
    SetSoundOutput(std::move(Previous));
    std::filesystem::current_path(OldDir);
    std::filesystem::remove_all(Dir);
  }

  TRecordingSoundOutput* Out = nullptr;
  std::unique_ptr<TSoundOutput> Previous;
  std::filesystem::path Dir, OldDir;

 private:
  std::string FPrefix, FSoundsFolder;
};
