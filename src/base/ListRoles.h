#pragma once

#include <Qt>

// Data roles of file list items, shared by the core that builds rows and the views that show them:
// the row key (full path) on the first column, a value to sort by (sizes and dates sort by value,
// not text), and the mark of the ".." row.
namespace ListRoles {
enum Role { Key = Qt::UserRole, Sort, ParentRow };
}
