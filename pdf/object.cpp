// Accessors and constructors of PdfObject. Arrays and dictionaries grow by
// doubling into new arena storage (the old block is abandoned to the arena).
#include "pdf/object.h"

#include <cmath>
#include <cstring>

#include "pdf/arena.h"

namespace {

constexpr int kInitialCapacity = 8;

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
    for (int i = 0; i < obj->count; i++) {
        if (std::strcmp(obj->entries[i].key, key) == 0)
            return obj->entries[i].value;
    }
    return nullptr;
}

int pdf_dict_put(Arena *arena, PdfObject *dict, const char *key, PdfObject *value)
{
    if (!dict || dict->type != PDF_DICT || !key || !value)
        return -2;
    for (int i = 0; i < dict->count; i++) {
        if (std::strcmp(dict->entries[i].key, key) == 0) {
            dict->entries[i].value = value;
            return 0;
        }
    }
    if (!grow(arena, dict->entries, dict->count, dict->capacity))
        return -3;
    dict->entries[dict->count].key = key;
    dict->entries[dict->count].value = value;
    dict->count++;
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
