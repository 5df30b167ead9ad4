#pragma once
// A field of a table that the import run reads record after record: its position is found on first
// use and kept for the records that follow. A field the table lacks is then the table's own error,
// raised where the field is first read, as when it is read by name.

#include "dbf/Table.h"

#include <cstddef>
#include <optional>

namespace pontrel::importing {

class FieldRef {
  public:
    FieldRef(const dbf::Table& table, const char* name) : table_(&table), name_(name) {}
    std::size_t operator()() const {
        if (!position_)
            position_ = table_->requireFieldIndex(name_);
        return *position_;
    }
    const char* name() const { return name_; }

  private:
    const dbf::Table* table_;
    const char* name_;
    mutable std::optional<std::size_t> position_;
};

} // namespace pontrel::importing
