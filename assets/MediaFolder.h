#pragma once
// A folder that generated media are written into, by names relative to it ("/" separated); parent
// folders are created as needed, and every written name is remembered for the generator's report.

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

class MediaFolder {
 public:
  explicit MediaFolder(std::string root);

  [[nodiscard]] const std::string& Root() const { return root_; }
  [[nodiscard]] const std::vector<std::string>& Written() const { return written_; }

  void Folder(const std::string& name);
  void Bitmap(const std::string& name, const QImage& picture);
  void Gif(const std::string& name, const QImage& picture);
  void Wave(const std::string& name, const std::vector<float>& samples, uint32_t sampleRate);
  void Text(const std::string& name, const std::string& text);

 private:
  std::string PathOf(const std::string& name);

  std::string root_;
  std::vector<std::string> written_;
};
