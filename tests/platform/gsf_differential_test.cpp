// Our compound-document reader beside libgsf on every well-formed test document: the
// same storages and streams, with the same names, types, sizes and bytes.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/compound_file.hpp"
#include "platform/sample_files.hpp"

using namespace orvane::cfb;

namespace {

struct Item {
    bool storage = false;
    std::uint64_t size = 0;
    std::string bytes;
    bool operator==(const Item&) const = default;
};
using Tree = std::map<std::string, Item>;  // by path

std::string utf8(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void walkGsf(GsfInfile* dir, const std::string& prefix, Tree& out) {
    const int n = gsf_infile_num_children(dir);
    for (int i = 0; i < n; ++i) {
        GsfInput* child = gsf_infile_child_by_index(dir, i);
        ASSERT_NE(nullptr, child);
        const std::string path = prefix + "/" + gsf_infile_name_by_index(dir, i);
        Item item;
        item.storage = gsf_infile_num_children(GSF_INFILE(child)) >= 0;
        if (item.storage) {
            walkGsf(GSF_INFILE(child), path, out);
        } else {
            item.size = static_cast<std::uint64_t>(gsf_input_size(child));
            std::vector<guint8> buf(item.size);
            if (item.size) {
                EXPECT_NE(nullptr, gsf_input_read(child, item.size, buf.data())) << path;
            }
            item.bytes.assign(buf.begin(), buf.end());
        }
        out[path] = item;
        g_object_unref(child);
    }
}

Tree gsfTree(const std::string& file) {
    Tree t;
    GError* err = nullptr;
    GsfInput* in = gsf_input_stdio_new(file.c_str(), &err);
    if (!in) return t;
    GsfInfile* ole = gsf_infile_msole_new(in, &err);
    g_object_unref(in);
    if (!ole) {
        if (err) g_error_free(err);
        return t;
    }
    walkGsf(ole, "", t);
    g_object_unref(ole);
    return t;
}

Tree ourTree(const std::string& file) {
    Tree t;
    Status status;
    auto f = CompoundFile::open(fileSource(file.c_str(), status), status);
    if (!f) return t;
    std::vector<std::pair<std::uint32_t, std::string>> pending{{CompoundFile::rootId(), ""}};
    std::vector<std::uint32_t> kids;
    while (!pending.empty()) {
        const auto [id, prefix] = pending.back();
        pending.pop_back();
        EXPECT_TRUE(f->children(id, kids));
        for (std::uint32_t k : kids) {
            const Entry* e = f->entry(k);
            const std::string path = prefix + "/" + utf8(e->name);
            Item item;
            item.storage = e->type == EntryType::Storage;
            if (item.storage) {
                pending.emplace_back(k, path);
            } else {
                std::vector<std::uint8_t> bytes;
                EXPECT_TRUE(f->readStream(k, bytes)) << path;
                item.size = e->size;
                item.bytes.assign(bytes.begin(), bytes.end());
            }
            t[path] = item;
        }
    }
    return t;
}

}  // namespace

TEST(AgainstLibgsf, EveryStorageAndStreamAgrees) {
    gsf_init();
    testcfb::TempDir dir;
    std::vector<std::string> files = {ORVANE_TEST_DATA "/props-basic.doc", ORVANE_TEST_DATA "/props-unicode.doc"};
    const struct {
        const char* name;
        unsigned version;
        std::size_t bulk;
        bool scatter;
    } generated[] = {
        {"v3.dgn", 3, 20000, false},        {"v3-scatter.dgn", 3, 70000, true}, {"v4.dgn", 4, 5000, false},
        {"v4-scatter.dgn", 4, 300000, true}, {"v3-difat.dgn", 3, 16 << 20, true},
    };
    for (const auto& g : generated) {
        files.push_back(dir.file(g.name));
        testcfb::writeFile(files.back(), testcfb::designFile(g.version, g.bulk, g.scatter));
    }
    for (const std::string& file : files) {
        const Tree theirs = gsfTree(file);
        const Tree ours = ourTree(file);
        ASSERT_FALSE(theirs.empty()) << file;
        ASSERT_EQ(theirs.size(), ours.size()) << file;
        for (const auto& [path, item] : theirs) {
            auto it = ours.find(path);
            ASSERT_NE(ours.end(), it) << file << ": " << path;
            EXPECT_EQ(item.storage, it->second.storage) << file << ": " << path;
            EXPECT_EQ(item.size, it->second.size) << file << ": " << path;
            EXPECT_TRUE(item.bytes == it->second.bytes) << file << ": " << path;
        }
    }
    gsf_shutdown();
}
