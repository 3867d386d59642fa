// Accessors and constructors of PdfObject. Arrays and dictionaries grow by
// doubling into new arena storage (the old block is abandoned to the arena).
// A dictionary with more than a few keys also gets a hash index of its
// entries, so that building one from n keys costs O(n), not O(n^2).
#include "pdf/object.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "pdf/arena.h"

namespace {

constexpr int kInitialCapacity = 8;
// Up to this many entries a dictionary is searched linearly; beyond, through its index.
constexpr int kIndexFrom = 16;

// FNV-1a of a zero-terminated key.
uint32_t key_hash(const char *key)
{
    uint32_t h = 2166136261u;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(key); *p; p++)
        h = (h ^ *p) * 16777619u;
    return h;
}

// The index slot holding `key`, or the empty slot where it would go.
int32_t *index_slot(const PdfObject *dict, const char *key)
{
    const uint32_t mask = uint32_t(dict->index_size - 1);
    for (uint32_t i = key_hash(key) & mask;; i = (i + 1) & mask) {
        int32_t *slot = &dict->index[i];
        if (*slot == 0 || std::strcmp(dict->entries[*slot - 1].key, key) == 0)
            return slot;
    }
}

// (Re)builds the index with room for the dictionary's capacity at a load of
// at most one half; false when memory is short.
bool build_index(Arena *arena, PdfObject *dict)
{
    int size = 64;
    while (size < 2 * dict->capacity)
        size *= 2;
    auto *index = static_cast<int32_t *>(arena_alloc(arena, sizeof(int32_t) * size_t(size)));
    if (!index)
        return false;
    std::memset(index, 0, sizeof(int32_t) * size_t(size));
    dict->index = index;
    dict->index_size = size;
    for (int i = 0; i < dict->count; i++)
        *index_slot(dict, dict->entries[i].key) = i + 1;
    return true;
}

// Position of key among the entries, or -1.
int find_key(const PdfObject *dict, const char *key)
{
    if (dict->index) {
        int32_t slot = *index_slot(dict, key);
        return slot - 1;
    }
    for (int i = 0; i < dict->count; i++) {
        if (std::strcmp(dict->entries[i].key, key) == 0)
            return i;
    }
    return -1;
}

PdfObject *new_object(Arena *arena, PdfObjType type)
{
    auto *o = static_cast<PdfObject *>(arena_alloc(arena, sizeof(PdfObject)));
    if (o)
        o->type = type;
    return o;
}

// Makes room for one more item or entry; false when memory is short.
template <typename T>
bool grow(Arena *arena, T *&storage, int count, int &capacity)
{
    if (count < capacity)
        return true;
    int cap = capacity ? capacity * 2 : kInitialCapacity;
    if (cap <= capacity)
        return false;
    auto *bigger = static_cast<T *>(arena_alloc(arena, sizeof(T) * size_t(cap)));
    if (!bigger)
        return false;
    if (count)
        std::memcpy(bigger, storage, sizeof(T) * size_t(count));
    storage = bigger;
    capacity = cap;
    return true;
}

}  // namespace

PdfObject *pdf_dict_get(const PdfObject *obj, const char *key)
{
    if (obj && obj->type == PDF_STREAM)
        obj = obj->dict;
    if (!obj || obj->type != PDF_DICT || !key)
        return nullptr;
    int i = find_key(obj, key);
    return i >= 0 ? obj->entries[i].value : nullptr;
}

int pdf_dict_put(Arena *arena, PdfObject *dict, const char *key, PdfObject *value)
{
    if (!dict || dict->type != PDF_DICT || !key || !value)
        return -2;
    int i = find_key(dict, key);
    if (i >= 0) {
        dict->entries[i].value = value;
        return 0;
    }
    const int old_capacity = dict->capacity;
    if (!grow(arena, dict->entries, dict->count, dict->capacity))
        return -3;
    dict->entries[dict->count].key = key;
    dict->entries[dict->count].value = value;
    dict->count++;
    if (dict->index && dict->capacity == old_capacity) {
        *index_slot(dict, key) = dict->count;
    } else if (dict->count > kIndexFrom && !build_index(arena, dict)) {
        dict->count--;
        return -3;
    }
    return 0;
}

PdfObject *pdf_array_get(const PdfObject *arr, int i)
{
    if (!arr || arr->type != PDF_ARRAY || i < 0 || i >= arr->count)
        return nullptr;
    return arr->items[i];
}

int pdf_array_len(const PdfObject *arr)
{
    return arr && arr->type == PDF_ARRAY ? arr->count : 0;
}

int pdf_array_push(Arena *arena, PdfObject *arr, PdfObject *item)
{
    if (!arr || arr->type != PDF_ARRAY || !item)
        return -2;
    if (!grow(arena, arr->items, arr->count, arr->capacity))
        return -3;
    arr->items[arr->count++] = item;
    return 0;
}

int pdf_is_name(const PdfObject *obj, const char *text)
{
    return obj && obj->type == PDF_NAME && text && std::strcmp(obj->name, text) == 0;
}

int pdf_to_int(const PdfObject *obj, int def)
{
    if (!obj)
        return def;
    if (obj->type == PDF_INT)
        return obj->integer;
    if (obj->type == PDF_REAL) {
        // Out-of-range reals would be undefined behaviour to convert.
        double v = std::trunc(obj->real);
        if (!(v >= -2147483648.0 && v <= 2147483647.0))
            return def;
        return int(v);
    }
    return def;
}

double pdf_to_number(const PdfObject *obj, double def)
{
    if (!obj)
        return def;
    if (obj->type == PDF_INT)
        return obj->integer;
    if (obj->type == PDF_REAL)
        return obj->real;
    return def;
}

PdfObject *pdf_new_null(Arena *arena) { return new_object(arena, PDF_NULL); }

PdfObject *pdf_new_bool(Arena *arena, int value)
{
    PdfObject *o = new_object(arena, PDF_BOOL);
    if (o)
        o->boolean = value ? 1 : 0;
    return o;
}

PdfObject *pdf_new_int(Arena *arena, int32_t value)
{
    PdfObject *o = new_object(arena, PDF_INT);
    if (o)
        o->integer = value;
    return o;
}

PdfObject *pdf_new_real(Arena *arena, double value)
{
    PdfObject *o = new_object(arena, PDF_REAL);
    if (o)
        o->real = value;
    return o;
}

PdfObject *pdf_new_string(Arena *arena, const uint8_t *bytes, int length)
{
    if (length < 0)
        length = 0;
    PdfObject *o = new_object(arena, PDF_STRING);
    if (!o)
        return nullptr;
    o->bytes = arena_copy(arena, bytes, size_t(length));
    if (!o->bytes)
        return nullptr;
    o->length = length;
    return o;
}

PdfObject *pdf_new_name(Arena *arena, const char *text)
{
    if (!text)
        text = "";
    PdfObject *o = new_object(arena, PDF_NAME);
    if (!o)
        return nullptr;
    size_t n = std::strlen(text);
    o->name = reinterpret_cast<char *>(arena_copy(arena, text, n));
    if (!o->name)
        return nullptr;
    o->length = int(n);
    return o;
}

PdfObject *pdf_new_array(Arena *arena) { return new_object(arena, PDF_ARRAY); }

PdfObject *pdf_new_dict(Arena *arena) { return new_object(arena, PDF_DICT); }

PdfObject *pdf_new_ref(Arena *arena, int num, int gen)
{
    PdfObject *o = new_object(arena, PDF_REF);
    if (o) {
        o->num = num;
        o->gen = gen;
    }
    return o;
}
