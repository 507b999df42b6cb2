#pragma once

#include "commands/open_flow.h"
#include "support/archive_builders.h"
#include "support/memory_widgets.h"
#include "support/temp_dir.h"
#include "window/frm_big.h"

#include <string>
#include <vector>

namespace archive::testing {

// A window in memory with a folder of its own for archives and output.
struct TestWindow {
    TempDir dir;
    MemoryWidgets widgets;
    FrmBig frm{widgets};

    TestWindow()
    {
        frm.Form_Load();
        frm.OutputBase = dir.path();
    }

    LoadOutcome Open(const std::string& bytes, const std::string& name = "test.sga", bool debug = false)
    {
        WriteBytes(dir.File(name), bytes);
        frm.DebugToFile = debug;
        return OpenChosenFile(frm, dir.File(name));
    }

    std::string DebugText(const std::string& name = "test.sga",
                          const std::string& suffix = ".debug.txt") const
    {
        return ReadBytes(dir.File(name + suffix));
    }

    // The debug file's lines (CR LF separated).
    std::vector<std::string> DebugLines(const std::string& name = "test.sga",
                                        const std::string& suffix = ".debug.txt") const
    {
        MemoryWidgets split;
        split.log = DebugText(name, suffix);
        return split.LogLines();
    }

    std::vector<std::string> Keys() const
    {
        std::vector<std::string> keys;
        for (int i = 1; i <= static_cast<int>(frm.tree().Count()); ++i) {
            keys.push_back(frm.tree().Node(i).key);
        }
        return keys;
    }

    std::string ParentKey(const std::string& key) const
    {
        const CatalogueTree& tree = frm.tree();
        const int parent = tree.Node(tree.IndexOfKey(key)).parent;
        return parent == 0 ? std::string() : tree.Node(parent).key;
    }

    std::string Text(const std::string& key) const
    {
        return frm.tree().Node(frm.tree().IndexOfKey(key)).text;
    }
};

} // namespace archive::testing
