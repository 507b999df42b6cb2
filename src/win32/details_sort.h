#pragma once

#include <vector>

namespace archive {
class CatalogueDetails;
}

namespace archive::win32 {

// The order of the details list: the catalogue's own until a header is
// clicked; then by that column, folders above files, a second click on the
// same header reversing it.
class DetailsOrder {
  public:
    // A click on the list's column `column` (0 Name ... 4 Offset or CRC).
    void Click(int column);
    void Reset() { column_ = -1; }
    int Column() const { return column_; }
    bool Ascending() const { return ascending_; }

    // Sorts the rows (node indexes); `rbf` says what the last column shows.
    void Sort(std::vector<int>& rows, const CatalogueDetails& details, bool rbf) const;

  private:
    int column_ = -1;
    bool ascending_ = true;
};

} // namespace archive::win32
