// Record layouts: an ordered, optionally keyed list of fields (Objeto_Collection)
// whose elements describe one column each (Campos_Collection).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// One field of a layout. Valor_Campo holds either a value of its own or a
// reference to a run-state text; assigning a value replaces what is held and
// never writes through a held reference.
class Campos_Collection {
 public:
  std::string Nome_Campo;
  std::string Tipo;  // "String" or "Integer"
  int16_t Key = 0;   // 1..n: position in the record line; -1: link column
  std::string Mask;  // carried, never set by Add, never read

  // The value: the referenced text when a reference is held, else the own value.
  const std::string& Valor_Campo() const;
  // Replaces what is held by a copy of v (drops a held reference).
  void LetValor_Campo(std::string v);
  // Holds a reference to a run-state text (nullptr holds an empty value).
  void SetValor_Campo(const std::string* ref);
  bool HoldsReference() const { return std::holds_alternative<const std::string*>(value_); }
  const std::string* Reference() const;

 private:
  std::variant<std::string, const std::string*> value_;
};

// A layout: fields in order, 1-based, keyed by the decimal digits of Key > 0.
class Objeto_Collection {
 public:
  Objeto_Collection() = default;
  Objeto_Collection(Objeto_Collection&&) noexcept = default;
  Objeto_Collection& operator=(Objeto_Collection&&) noexcept = default;

  // The field at a 1-based position, or nullptr when out of range. Never throws.
  Campos_Collection* Item(int position) const;
  // The field under a text key ("7" finds Key 7), or nullptr. Never throws.
  Campos_Collection* Item(std::string_view key) const;
  int Count() const { return static_cast<int>(fields_.size()); }

  bool IsPkIdentity() const { return isPkIdentity_; }
  void IsPkIdentity(bool v) { isPkIdentity_ = v; }
  // True when the line fields (Key > 0) are stored as one column, kWholeLineColumn,
  // holding the normalised line (LayoutSpec::wholeLine); the fields stay listed.
  bool WholeLine() const { return wholeLine_; }
  void WholeLine(bool v) { wholeLine_ = v; }

  // Appends a field. A field whose Key > 0 is keyed by the digits of Key;
  // a duplicate key throws std::invalid_argument and leaves the layout as it was.
  // `ref` non-null makes Valor_Campo a reference to that run-state text.
  // Mask is accepted and ignored (a new field's Mask stays empty).
  Campos_Collection& Add(std::string Nome_Campo, std::string Tipo, std::string Valor_Campo,
                         int16_t Key = 0, std::string_view Mask = {});
  Campos_Collection& Add(std::string Nome_Campo, std::string Tipo, const std::string* ref,
                         int16_t Key = 0, std::string_view Mask = {});

  // Removes by 1-based position or by key; a miss is ignored.
  void Remove(int position);
  void Remove(std::string_view key);

  // Iteration over the fields in list order.

 private:
  struct Entry {
    std::unique_ptr<Campos_Collection> field;
    std::string key;  // empty: no key
  };
  struct FieldIter {
    std::vector<Entry>::const_iterator it;
    Campos_Collection& operator*() const { return *it->field; }
    Campos_Collection* operator->() const { return it->field.get(); }
    FieldIter& operator++() { ++it; return *this; }
    bool operator!=(const FieldIter& o) const { return it != o.it; }
    bool operator==(const FieldIter& o) const { return it == o.it; }
  };
  Campos_Collection& Append(std::unique_ptr<Campos_Collection> f);

 public:
  FieldIter begin() const { return FieldIter{fields_.begin()}; }
  FieldIter end() const { return FieldIter{fields_.end()}; }

 private:

  std::vector<Entry> fields_;
  bool isPkIdentity_ = false;
  bool wholeLine_ = false;
};

// The column of a whole-line staging table that holds the line.
inline constexpr std::string_view kWholeLineColumn = "Linha";
