#include "support/archive_builders.h"

#include "platform/text_encoding.h"

#include <zlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace archive::testing {

namespace {

void Put16(std::string& out, std::int16_t v)
{
    const auto u = static_cast<std::uint16_t>(v);
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
}

void Put32(std::string& out, std::int32_t v)
{
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>((u >> (8 * i)) & 0xFF);
    }
}

void Put64(std::string& out, std::int64_t v)
{
    const auto u = static_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) {
        out += static_cast<char>((u >> (8 * i)) & 0xFF);
    }
}

void PutFixed(std::string& out, std::string_view text, std::size_t width)
{
    std::string field(text.substr(0, width));
    field.resize(width, '\0');
    out += field;
}

} // namespace

std::string ZlibCompress(std::string_view content, int level)
{
    uLongf length = compressBound(static_cast<uLong>(content.size()));
    std::string out(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                  reinterpret_cast<const Bytef*>(content.data()), static_cast<uLong>(content.size()),
                  level) != Z_OK) {
        throw std::runtime_error("compress2 failed");
    }
    out.resize(length);
    return out;
}

std::string BuildSga(const SgaSpec& recipe)
{
    // The stored bytes of every file first, to know the data area's layout.
    std::vector<std::string> stored;
    for (const SgaFileSpec& f : recipe.files) {
        stored.push_back(f.storedBytes ? *f.storedBytes
                         : f.compress  ? ZlibCompress(f.content, f.level)
                                       : f.content);
    }
    std::string names(1, '\0');
    for (std::size_t r = 1; r < recipe.dirs.size(); ++r) {
        names += recipe.dirs[r].name;
        names += '\0';
    }
    for (const SgaFileSpec& f : recipe.files) {
        names += f.name;
        names += '\0';
    }
    const std::size_t catalogueEnd =
        204 + 138 * recipe.tocs.size() + 12 * recipe.dirs.size() + 17 * recipe.files.size() + names.size();
    const std::int32_t dataOffset = recipe.dataOffset
                                        ? *recipe.dataOffset
                                        : static_cast<std::int32_t>(catalogueEnd + recipe.afterNames.size());

    std::string out;
    PutFixed(out, recipe.identifier, 8);
    Put32(out, recipe.version);
    out.append(16, '\0');
    PutFixed(out, recipe.archiveType, 128);
    out.append(16, '\0');
    Put32(out, recipe.dataHeaderSize);
    Put32(out, dataOffset);

    Put32(out, recipe.tocOffset);
    Put16(out, recipe.numTocs.value_or(static_cast<std::int16_t>(recipe.tocs.size())));
    Put32(out, recipe.directoryOffset);
    Put16(out, recipe.numDirectories.value_or(static_cast<std::int16_t>(recipe.dirs.size())));
    Put32(out, recipe.fileOffset);
    Put16(out, recipe.numFiles.value_or(static_cast<std::int16_t>(recipe.files.size())));
    Put32(out, recipe.itemsOffset);
    Put16(out, recipe.numItems.value_or(static_cast<std::int16_t>(recipe.dirs.size() + recipe.files.size())));

    for (const SgaTocSpec& t : recipe.tocs) {
        PutFixed(out, t.rawAlias ? *t.rawAlias : t.alias, 64);
        PutFixed(out, t.startName, 64);
        Put16(out, t.startDir);
        Put16(out, t.endDir);
        Put16(out, t.startFile);
        Put16(out, t.endFile);
        Put16(out, t.folderOffset);
    }
    for (const SgaDirSpec& d : recipe.dirs) {
        Put32(out, d.nameOffset);
        Put16(out, d.firstDir);
        Put16(out, d.nextDir);
        Put16(out, d.firstFile);
        Put16(out, d.nextFile);
    }
    std::int64_t entryOffset = 0;
    for (std::size_t i = 0; i < recipe.files.size(); ++i) {
        const SgaFileSpec& f = recipe.files[i];
        Put32(out, f.nameOffset);
        out += static_cast<char>(f.spare);
        Put32(out, f.entryOffset.value_or(static_cast<std::int32_t>(entryOffset)));
        Put32(out, f.storedSize.value_or(static_cast<std::int32_t>(stored[i].size())));
        Put32(out, f.expandedSize.value_or(static_cast<std::int32_t>(f.content.size())));
        entryOffset += static_cast<std::int64_t>(stored[i].size());
    }
    out += names;
    out += recipe.afterNames;
    if (static_cast<std::size_t>(dataOffset) > out.size()) {
        out.resize(static_cast<std::size_t>(dataOffset), '\0');
    }
    for (const std::string& s : stored) {
        out += s;
    }
    return out;
}

SgaSpec SgaFromLayout(const std::vector<SgaLayoutDir>& dirs, std::string alias)
{
    SgaSpec recipe;
    recipe.tocs[0].alias = std::move(alias);
    std::int16_t fileRow = 0;
    for (std::size_t r = 0; r < dirs.size(); ++r) {
        SgaDirSpec d;
        d.name = dirs[r].path;
        if (r == 0 && dirs.size() > 1) {
            d.firstDir = 1;
            d.nextDir = static_cast<std::int16_t>(dirs.size());
        }
        d.firstFile = fileRow;
        for (const SgaFileSpec& f : dirs[r].files) {
            recipe.files.push_back(f);
            ++fileRow;
        }
        d.nextFile = fileRow;
        recipe.dirs.push_back(d);
    }
    return recipe;
}

SgaSpec WorkedExampleSga()
{
    return SgaFromLayout(
        {{"", {{.name = "a.txt", .content = "alpha"}}},
         {"art", {{.name = "b.tga", .content = "bravo"}, {.name = "c.tga", .content = "charlie"}}},
         {"art\\tex", {{.name = "d.tga", .content = "delta"}}},
         {"ui", {}}});
}

std::string ScrambleName(std::string_view name)
{
    std::string stored(name.size(), '\0');
    unsigned char previous = 0xA7;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        stored[i] = static_cast<char>(c ^ previous);
        previous = c;
    }
    return stored;
}

std::string BuildRbf(const RbfSpec& recipe)
{
    std::string out;
    PutFixed(out, recipe.identifier, 3);
    PutFixed(out, recipe.version, 4);
    Put32(out, recipe.records.value_or(static_cast<std::int32_t>(recipe.entries.size())));
    Put32(out, recipe.sortFlag);
    std::size_t nameAt = 15 + 32 * recipe.entries.size();
    std::string names;
    for (const RbfEntrySpec& e : recipe.entries) {
        const std::string stored = e.storedName ? *e.storedName : ScrambleName(e.name);
        Put64(out, e.crc);
        Put32(out, e.nameSize.value_or(static_cast<std::int32_t>(stored.size())));
        Put32(out, e.compr);
        Put32(out, e.uncompr);
        Put32(out, e.offset.value_or(static_cast<std::int32_t>(nameAt)));
        out.append(reinterpret_cast<const char*>(e.tail.data()), e.tail.size());
        if (!e.offset) {
            names += stored;
            nameAt += stored.size();
        }
    }
    return out + names;
}

std::string ShippedSampleSga()
{
    const std::string readme = "A sample archive made by the archive tool's own builders.\r\n";
    std::string map;
    for (int i = 0; i < 200; ++i) {
        map += "tile " + std::to_string(i) + " grass grass water grass\n";
    }
    SgaSpec sga =
        SgaFromLayout({{"", {{.name = "readme.txt", .content = readme}}},
                       {"maps", {{.name = "index.txt", .content = "town\nforest\n"}}},
                       {"maps\\town", {{.name = "plan.dat", .content = map, .compress = true}}},
                       {"art", {{.name = "logo.tga", .content = std::string(512, '\x7f'), .compress = true}}},
                       {"sounds", {}}},
                      "Data");
    sga.archiveType = "Sample archive";
    return BuildSga(sga);
}

std::string ShippedSampleRbf()
{
    RbfSpec rbf;
    rbf.sortFlag = 1;
    for (const char* name : {"readme.txt", "maps\\town\\plan.dat", "maps\\index.txt", "art\\logo.tga"}) {
        rbf.entries.push_back({.name = name, .crc = 123456789, .compr = 100, .uncompr = 200});
    }
    return BuildRbf(rbf);
}

void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream file(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

} // namespace archive::testing
