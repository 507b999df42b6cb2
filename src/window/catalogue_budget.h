#pragma once

#include "window/catalogue_tree.h"
#include "window/load_failure.h"

#include <cstdint>
#include <string>

namespace archive {

// How much memory and work a catalogue may take for an archive of a given
// size. Sound archives stay far below both limits; they only stop crafted
// ones, whose small tables would otherwise ask for gigabytes of tree (every
// directory listing every file) or quadratic work (a name of thousands of
// nested folders).
class CatalogueBudget {
  public:
    explicit CatalogueBudget(std::uint64_t fileSize)
        : treeBytes_(32 * fileSize + (32u << 20)), work_(64 * fileSize + (64u << 20))
    {
    }

    void CheckTree(const CatalogueTree& tree) const
    {
        if (tree.Bytes() > treeBytes_) {
            throw LoadFailure("the catalogue would take more than " + std::to_string(treeBytes_ >> 20) +
                              " MB of memory; the archive's tables ask for far more than its size can hold");
        }
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
    std::uint64_t treeBytes_;
    std::uint64_t work_;
    std::uint64_t workDone_ = 0;
};

} // namespace archive
