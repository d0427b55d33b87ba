#include "assets/MediaFolder.h"

#include "assets/BmpFile.h"
#include "assets/GifFile.h"
#include "assets/WavFile.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

MediaFolder::MediaFolder(std::string root) : root_(std::move(root)) {
  std::filesystem::create_directories(root_);
}

std::string MediaFolder::PathOf(const std::string& name) {
  const std::filesystem::path path = std::filesystem::path(root_) / name;
  std::filesystem::create_directories(path.parent_path());
  written_.push_back(name);
  return path.string();
}

void MediaFolder::Folder(const std::string& name) {
  std::filesystem::create_directories(std::filesystem::path(root_) / name);
}

void MediaFolder::Bitmap(const std::string& name, const QImage& picture) {
  WriteBmp24(PathOf(name), picture);
}

void MediaFolder::Gif(const std::string& name, const QImage& picture) {
  WriteGif(PathOf(name), picture);
}

void MediaFolder::Wave(const std::string& name, const std::vector<float>& samples, uint32_t sampleRate) {
  WriteWav16(PathOf(name), samples, sampleRate);
}

void MediaFolder::Text(const std::string& name, const std::string& text) {
  const std::string path = PathOf(name);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  if (!file) throw std::runtime_error("cannot write " + path);
}
