// Algorithm vectors of the node database layer and the shapes of its data
// and subnode trees, read back from the written file.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/pst/BackgroundFile.h"
#include "platform/pst/Ndb.h"
#include "tests/pst/PstScenario.h"

namespace pst::test {
namespace {

TEST(Ndb, CrcAndSignatureVectors) {
    EXPECT_EQ(ndb::Crc32("123456789", 9), 0x2DFD2D88u);
    EXPECT_EQ(ndb::Crc32("", 0), 0u);
    // Any split of the input gives the same CRC as one pass.
    std::string text = Pattern(1000, 3);
    for (size_t cut : {0u, 1u, 7u, 8u, 9u, 500u, 999u})
        EXPECT_EQ(ndb::Crc32(text.data() + cut, text.size() - cut, ndb::Crc32(text.data(), cut)),
                  ndb::Crc32(text.data(), text.size()));
    EXPECT_EQ(ndb::ComputeSig(0x7400, 0x4DE), 0x70DE);
}

uint64_t U64(const std::string& s, size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | uint8_t(s[at + i]);
    return v;
}

// Writes a stream of `size` bytes as one data tree and reads the root block's
// first bytes back from the file by its trailer.
TEST(Ndb, DataTreeShapeFollowsStreamSize) {
    struct {
        uint64_t size;
        int rootType;  // 0 data block, 1 XBLOCK, 2 XXBLOCK
        uint64_t entries;
    } cases[] = {{1, 0, 0}, {8176, 0, 0}, {8177, 1, 2}, {8176ull * 1021, 1, 1021}, {8176ull * 1021 + 1, 2, 2}};
    CScratchDir dir("ndb");
    for (const auto& c : cases) {
        auto path = dir.Path() / "tree.bin";
        uint64_t root;
        {
            ndb::CNdbFile file(path);
            ndb::CDataTreeBuilder tree(file);
            std::string chunk = Pattern(1 << 20, 1);
            for (uint64_t done = 0; done < c.size;) {
                size_t n = size_t(std::min<uint64_t>(chunk.size(), c.size - done));
                tree.Append(std::string_view(chunk).substr(0, n));
                done += n;
            }
            root = tree.Finish();
            file.AddNode(0x21, root, 0, 0);
            file.Finish({});
        }
        EXPECT_EQ((root & 2) != 0, c.rootType != 0) << c.size;
        if (c.rootType == 0) continue;
        std::ifstream in(path, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), {});
        // Find the internal block by scanning block trailers for its BID.
        size_t found = std::string::npos;
        for (size_t at = 0x4800 + 48; at + 16 <= data.size(); at += 64)
            if (U64(data, at + 8) == root) {
                found = at;
                break;
            }
        ASSERT_NE(found, std::string::npos) << c.size;
        uint16_t cb = uint16_t(uint8_t(data[found]) | uint8_t(data[found + 1]) << 8);
        size_t start = found + 16 - ((cb + 16 + 63) / 64 * 64);
        EXPECT_EQ(uint8_t(data[start]), 1);
        EXPECT_EQ(uint8_t(data[start + 1]), c.rootType);
        EXPECT_EQ(uint16_t(uint8_t(data[start + 2]) | uint8_t(data[start + 3]) << 8), c.entries);
        uint32_t total = uint32_t(U64(data, start + 4) & 0xFFFFFFFF);
        EXPECT_EQ(total, uint32_t(c.size)) << c.size;
    }
}

// Writes that start on and off page boundaries, leave holes, end in partial
// pages and overwrite pages already written must leave exactly the bytes of
// a model, on a disk file system (whole pages written directly) and on tmpfs.
TEST(Ndb, BackgroundWritesOnAndOffPageBoundariesLeaveTheModelsBytes) {
    struct CWrite {
        uint64_t offset;
        size_t size;
        bool now;  // WriteNow instead of WriteLater
    };
    const CWrite writes[] = {
        {0, 10000, false},        // whole pages and a partial one
        {10000, 6384, false},     // off a boundary, ends on one
        {16384, 8192, false},     // exactly two pages
        {40960, 4097, false},     // after a hole
        {45057, 100, false},      // inside the page before, off a boundary
        {4096 * 3 + 5, 30, true}, // over a page already written
        {1 << 20, 3 * 4096, false},
        {(1 << 20) + 100, 50, true},
    };
    CScratchDir disk("background");
    std::vector<std::filesystem::path> dirs{disk.Path()};
    if (std::filesystem::is_directory("/dev/shm")) dirs.push_back("/dev/shm");
    for (const auto& dir : dirs) {
        auto path = dir / ("background-" + std::to_string(getpid()) + ".bin");
        std::string model;
        {
            ndb::CBackgroundFile file(path);
            int seed = 0;
            for (const CWrite& w : writes) {
                std::string bytes = Pattern(w.size, ++seed);
                if (model.size() < w.offset + w.size) model.resize(w.offset + w.size, '\0');
                model.replace(w.offset, w.size, bytes);
                if (w.now) {
                    file.WriteNow(w.offset, bytes);
                } else {
                    ndb::CWriteBuffer buffer(bytes.begin(), bytes.end());
                    file.WriteLater(w.offset, buffer);
                }
            }
            file.Truncate(model.size() - 7);
            model.resize(model.size() - 7);
            file.SyncAndClose();
        }
        std::ifstream in(path, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), {});
        in.close();
        std::filesystem::remove(path);
        ASSERT_EQ(data.size(), model.size()) << dir;
        EXPECT_TRUE(data == model) << dir;
    }
}

}  // namespace
}  // namespace pst::test

namespace pst::ndb {
namespace {

// The block list spills whole chunks to its file; cutting it back into a
// spilled chunk and appending again must read back exactly what is left.
TEST(Spool, CutBackIntoTheFileAndReadBackInOrder) {
    CSpool<uint64_t> spool(std::filesystem::temp_directory_path());
    const size_t chunk = CSpool<uint64_t>::kChunk;
    std::vector<uint64_t> expected;
    auto add = [&](size_t n, uint64_t base) {
        for (size_t i = 0; i < n; ++i) {
            spool.push_back(base + i);
            expected.push_back(base + i);
        }
    };
    add(3 * chunk + 17, 0);
    for (size_t cut : {3 * chunk + 5, 2 * chunk + 1, 2 * chunk, chunk - 1}) {
        spool.resize(cut);
        expected.resize(cut);
        add(chunk / 2, 1000000 * cut);
    }
    ASSERT_EQ(spool.size(), expected.size());
    CSpool<uint64_t>::CReader reader(spool);
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(reader.Next(), expected[i]) << i;
    EXPECT_THROW(reader.Next(), std::out_of_range);
}

}  // namespace
}  // namespace pst::ndb
