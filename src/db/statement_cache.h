// Prepared statements kept by their text, so that a command whose text comes again is bound and run
// without preparing it anew. A row's insert text varies only with its nulls, so a small set of texts
// covers the rows of a table; the oldest text goes when the set is full.
#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <string>

namespace kestrane::db {

template <class Owner>  // a unique_ptr to the driver's statement handle
class StatementCache {
  public:
    using Pointer = typename Owner::pointer;

    Pointer Find(const std::string& sql) const {
        auto it = statements_.find(sql);
        return it == statements_.end() ? Pointer{} : it->second.get();
    }
    void Keep(const std::string& sql, Owner statement) {
        if (statements_.size() >= kSize) {
            statements_.erase(order_.front());
            order_.pop_front();
        }
        order_.push_back(sql);
        statements_.emplace(sql, std::move(statement));
    }
    void Clear() {
        statements_.clear();
        order_.clear();
    }

  private:
    static constexpr std::size_t kSize = 64;
    std::map<std::string, Owner> statements_;
    std::list<std::string> order_;
};

}  // namespace kestrane::db
