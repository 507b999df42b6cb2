#include "win32/details_sort.h"

#include "commands/catalogue_details.h"

#include <algorithm>

namespace archive::win32 {

void DetailsOrder::Click(int column)
{
    ascending_ = column == column_ ? !ascending_ : true;
    column_ = column;
}

void DetailsOrder::Sort(std::vector<int>& rows, const CatalogueDetails& details, bool rbf) const
{
    if (column_ < 0) {
        return; // the catalogue's order, as the rows came
    }
    const DetailsColumn by = column_ >= 4 ? (rbf ? DetailsColumn::Crc : DetailsColumn::Offset)
                                          : static_cast<DetailsColumn>(column_);
    std::stable_sort(rows.begin(), rows.end(), [&](int left, int right) {
        const bool leftFolder = details.IsFolder(left);
        if (leftFolder != details.IsFolder(right)) {
            return leftFolder; // folders first, whichever way
        }
        return ascending_ ? details.Less(left, right, by) : details.Less(right, left, by);
    });
}

} // namespace archive::win32
