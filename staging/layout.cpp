#include "staging/layout.h"

#include <stdexcept>

namespace {
const std::string kEmpty;
}

const std::string& Campos_Collection::Valor_Campo() const {
  if (auto ref = std::get_if<const std::string*>(&value_)) return *ref ? **ref : kEmpty;
  return std::get<std::string>(value_);
}

void Campos_Collection::LetValor_Campo(std::string v) { value_ = std::move(v); }

void Campos_Collection::SetValor_Campo(const std::string* ref) { value_ = ref; }

const std::string* Campos_Collection::Reference() const {
  auto ref = std::get_if<const std::string*>(&value_);
  return ref ? *ref : nullptr;
}

Campos_Collection* Objeto_Collection::Item(int position) const {
  if (position < 1 || position > Count()) return nullptr;
  return fields_[position - 1].field.get();
}

Campos_Collection* Objeto_Collection::Item(std::string_view key) const {
  if (key.empty()) return nullptr;
  for (const auto& e : fields_)
    if (e.key == key) return e.field.get();
  return nullptr;
}

Campos_Collection& Objeto_Collection::Append(std::unique_ptr<Campos_Collection> f) {
  std::string key = f->Key > 0 ? std::to_string(f->Key) : std::string();
  if (!key.empty() && Item(key) != nullptr)
    throw std::invalid_argument("duplicate field key " + key + " (" + f->Nome_Campo + ")");
  fields_.push_back(Entry{std::move(f), std::move(key)});
  return *fields_.back().field;
}

Campos_Collection& Objeto_Collection::Add(std::string Nome_Campo, std::string Tipo,
                                          std::string Valor_Campo, int16_t Key, std::string_view) {
  auto f = std::make_unique<Campos_Collection>();
  f->Nome_Campo = std::move(Nome_Campo);
  f->Tipo = std::move(Tipo);
  f->LetValor_Campo(std::move(Valor_Campo));
  f->Key = Key;
  return Append(std::move(f));
}

Campos_Collection& Objeto_Collection::Add(std::string Nome_Campo, std::string Tipo,
                                          const std::string* ref, int16_t Key, std::string_view) {
  auto f = std::make_unique<Campos_Collection>();
  f->Nome_Campo = std::move(Nome_Campo);
  f->Tipo = std::move(Tipo);
  f->SetValor_Campo(ref);
  f->Key = Key;
  return Append(std::move(f));
}

void Objeto_Collection::Remove(int position) {
  if (position < 1 || position > Count()) return;
  fields_.erase(fields_.begin() + (position - 1));
}

void Objeto_Collection::Remove(std::string_view key) {
  for (auto it = fields_.begin(); it != fields_.end(); ++it)
    if (!key.empty() && it->key == key) {
      fields_.erase(it);
      return;
    }
}
