#pragma once

#include "window/catalogue_tree.h"
#include "window/load_failure.h"

#include <cstdint>
#include <string>

namespace archive {

// How much memory and work a catalogue may take for an archive of a given
// size: one budget for the whole load. The memory side counts the tree and
// the text the tables hold beside it (RBF names and their file names, SGA
// file paths), which crafted tables can make far larger than the file: 30,000
// RBF records may all name the same megabyte. Sound archives stay far below
// both limits; they only stop crafted ones, whose small tables would otherwise
// ask for gigabytes (every directory listing every file, every record naming
// the same bytes) or quadratic work (a name of thousands of nested folders).
class CatalogueBudget {
  public:
    explicit CatalogueBudget(std::uint64_t fileSize)
        : memory_(32 * fileSize + (32u << 20)), work_(64 * fileSize + (64u << 20))
    {
    }

    void CheckTree(const CatalogueTree& tree)
    {
        tree_ = tree.Bytes();
        CheckMemory();
    }

    // Text of `bytes` about to be held by the tables: charged before it is allocated.
    void ChargeText(std::uint64_t bytes)
    {
        text_ += bytes + sizeof(std::string);
        CheckMemory();
    }

    void AddWork(std::uint64_t units)
    {
        workDone_ += units;
        if (workDone_ > work_) {
            throw LoadFailure(
                "the entry names nest too deeply to be shown (more work than an archive of this "
                "size can ask for)");
        }
    }

  private:
    void CheckMemory() const
    {
        if (tree_ + text_ > memory_) {
            throw LoadFailure("the catalogue would take more than " + std::to_string(memory_ >> 20) +
                              " MB of memory; the archive's tables ask for far more than its size can hold");
        }
    }

    std::uint64_t memory_;
    std::uint64_t work_;
    std::uint64_t tree_ = 0;
    std::uint64_t text_ = 0;
    std::uint64_t workDone_ = 0;
};

} // namespace archive
