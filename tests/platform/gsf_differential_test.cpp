// Our compound-document reader beside libgsf on every well-formed test document: the
// same storages and streams, with the same names, types, sizes and bytes.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
#include <gtest/gtest.h>

#include <map>

#include "platform/compound_file.hpp"
#include "platform/sample_files.hpp"

using namespace orvane::cfb;

namespace {

using Tree = std::map<std::string, std::string>;  // by path: "storage", or the stream's bytes

void walkGsf(GsfInfile* dir, const std::string& prefix, Tree& out) {
    for (int i = 0; i < gsf_infile_num_children(dir); ++i) {
        GsfInput* child = gsf_infile_child_by_index(dir, i);
        const std::string path = prefix + "/" + gsf_infile_name_by_index(dir, i);
        if (gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
            out[path] = "storage";
            walkGsf(GSF_INFILE(child), path, out);
        } else {
            std::string& bytes = out[path + " stream"];
            bytes.resize(static_cast<std::size_t>(gsf_input_size(child)));
            if (!bytes.empty()) { EXPECT_TRUE(gsf_input_read(child, bytes.size(), reinterpret_cast<guint8*>(bytes.data()))) << path; }
        }
        g_object_unref(child);
    }
}

// The same walk over our reader; names in UTF-8 as libgsf gives them.
void walkOurs(CompoundFile& f, std::uint32_t id, const std::string& prefix, Tree& out) {
    std::vector<std::uint32_t> kids;
    EXPECT_TRUE(f.children(id, kids));
    for (std::uint32_t k : kids) {
        const Entry* e = f.entry(k);
        gchar* name = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(e->name.data()), static_cast<glong>(e->name.size()), nullptr,
                                      nullptr, nullptr);
        const std::string path = prefix + "/" + name;
        g_free(name);
        if (e->type == EntryType::Storage) {
            out[path] = "storage";
            walkOurs(f, k, path, out);
            continue;
        }
        std::vector<std::uint8_t> bytes;
        EXPECT_TRUE(f.readStream(k, bytes) && e->size == bytes.size()) << path;
        out[path + " stream"].assign(bytes.begin(), bytes.end());
    }
}

}  // namespace

TEST(AgainstLibgsf, EveryStorageAndStreamAgrees) {
    gsf_init();
    testcfb::TempDir dir;
    std::vector<std::string> files = {ORVANE_TEST_DATA "/props-basic.doc", ORVANE_TEST_DATA "/props-unicode.doc"};
    const std::tuple<unsigned, std::size_t, bool> generated[] = {
        {3, 20000, false}, {3, 70000, true}, {4, 5000, false}, {4, 300000, true}, {3, 16 << 20, true}};
    for (const auto& [version, bulk, scatter] : generated) {
        files.push_back(dir.file(std::to_string(files.size()) + ".dgn"));
        testcfb::writeFile(files.back(), testcfb::designFile(version, bulk, scatter));
    }
    for (const std::string& file : files) {
        Status status;
        auto ourFile = CompoundFile::open(fileSource(file.c_str(), status), status);
        ASSERT_TRUE(ourFile) << file;
        Tree ours, theirs;
        walkOurs(*ourFile, CompoundFile::rootId(), "", ours);
        GsfInput* in = gsf_input_stdio_new(file.c_str(), nullptr);
        GsfInfile* ole = gsf_infile_msole_new(in, nullptr);
        ASSERT_NE(ole, nullptr) << file;
        walkGsf(ole, "", theirs);
        g_object_unref(ole), g_object_unref(in);
        EXPECT_FALSE(theirs.empty()) << file;
        EXPECT_EQ(theirs.size(), ours.size()) << file;
        for (const auto& [path, content] : theirs) EXPECT_TRUE(ours.count(path) && ours.at(path) == content) << file << ": " << path;
    }
    gsf_shutdown();
}
