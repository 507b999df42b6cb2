#include "window/catalogue_tree.h"

#include <gtest/gtest.h>

using archive::CatalogueTree;

TEST(CatalogueTree, AddsInOrderWithOneBasedIndices)
{
    CatalogueTree tree;
    ASSERT_TRUE(tree.Add(std::nullopt, "n-1", "Data"));
    ASSERT_TRUE(tree.Add("n-1", "n0", "art"));
    ASSERT_TRUE(tree.Add("n0", "n1", "tex"));
    ASSERT_TRUE(tree.Add("n-1", "n2", "ui"));
    EXPECT_EQ(tree.Count(), 4u);
    EXPECT_EQ(tree.IndexOfKey("n2"), 4);
    EXPECT_EQ(tree.Node(3).parent, 2);
    EXPECT_EQ(tree.Node(1).children, (std::vector<int>{2, 4}));
    EXPECT_EQ(tree.Depth(3), 2);

    std::vector<std::string> order;
    tree.Visit([&](const archive::CatalogueNode& node) { order.push_back(node.key); });
    EXPECT_EQ(order, (std::vector<std::string>{"n-1", "n0", "n1", "n2"}));
}

TEST(CatalogueTree, FailedAdditionsChangeNothing)
{
    CatalogueTree tree;
    ASSERT_TRUE(tree.Add(std::nullopt, "Root", "a.big"));
    ASSERT_TRUE(tree.Add("Root", "x", "x"));
    EXPECT_FALSE(tree.Add("Root", "x", "again"));     // key present
    EXPECT_FALSE(tree.Add("missing", "y", "y"));      // parent absent
    EXPECT_FALSE(tree.Add("y", "y", "self"));         // its own key as parent
    EXPECT_FALSE(tree.Add(std::nullopt, "Root", "")); // a second root with a taken key
    EXPECT_EQ(tree.Count(), 2u);
    EXPECT_EQ(tree.Node(2).text, "x");
    EXPECT_EQ(tree.Node(1).children.size(), 1u);
    EXPECT_EQ(tree.IndexOfKey("y"), 0);
}

TEST(CatalogueTree, KeysAreExactBytes)
{
    CatalogueTree tree;
    ASSERT_TRUE(tree.Add(std::nullopt, "Root", ""));
    EXPECT_TRUE(tree.Add("Root", "a", "a"));
    EXPECT_TRUE(tree.Add("Root", "A", "A"));
    EXPECT_TRUE(tree.Add("Root", std::string("a\0b", 3), "nul"));
    EXPECT_TRUE(tree.Add("Root", "", "empty key"));
    EXPECT_EQ(tree.IndexOfKey(std::string("a\0b", 3)), 4);
    EXPECT_EQ(tree.IndexOfKey("a"), 2);
    tree.Select(3);
    tree.Clear();
    EXPECT_EQ(tree.Count(), 0u);
    EXPECT_EQ(tree.SelectedIndex(), 0);
    EXPECT_EQ(tree.IndexOfKey("a"), 0);
}
