#include "file_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// A file larger than the stream's buffer, so reads cross buffer refills.
std::string writeSample(const char* name, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919) >> 3);
  FILE* f = std::fopen(name, "wb");
  EXPECT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return bytes;
}

TEST(FileInStream, SeeksReadsAcrossBuffersAndStopsAtTheEnd) {
  const std::string bytes = writeSample("file_stream_sample.bin", 200000);
  qav::FileInStream in;
  ASSERT_TRUE(in.open(u"file_stream_sample.bin"));
  EXPECT_EQ(in.remaining(), bytes.size());

  ASSERT_TRUE(in.seek(114687));
  std::string got(70000, '\0');
  ASSERT_TRUE(in.read(got.data(), got.size()));
  EXPECT_EQ(got, bytes.substr(114687, 70000));
  EXPECT_EQ(in.position(), 114687u + 70000u);

  // Asking for more than is left fails and leaves the position alone.
  std::string rest(in.remaining() + 1, '\0');
  EXPECT_FALSE(in.read(rest.data(), rest.size()));
  rest.resize(in.remaining());
  ASSERT_TRUE(in.read(rest.data(), rest.size()));
  EXPECT_EQ(rest, bytes.substr(184687));
  EXPECT_EQ(in.remaining(), 0u);

  // Going back works after reaching the end.
  ASSERT_TRUE(in.seek(1));
  char c;
  ASSERT_TRUE(in.read(&c, 1));
  EXPECT_EQ(c, bytes[1]);
  EXPECT_FALSE(in.seek(bytes.size() + 1));
  in.close();
  std::remove("file_stream_sample.bin");
}

TEST(FileInStream, MissingFileDoesNotOpen) {
  qav::FileInStream in;
  EXPECT_FALSE(in.open(u"no such file.bin"));
  char c;
  EXPECT_FALSE(in.read(&c, 1));
}

}  // namespace
