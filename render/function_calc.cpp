// PostScript calculator functions (PDF Reference 1.7, section 3.9.4): the
// program is compiled once into a flat list of operations, with `if` and
// `ifelse` turned into forward jumps, and run per evaluation on a fixed
// operand stack. Programs cannot loop, so a run costs at most its length.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "pdf/arena.h"
#include "render/context.h"
#include "render/function.h"

enum CalcCode : uint8_t {
    C_PUSH, C_JZ, C_JMP,  // JZ pops the condition and jumps when it is zero
    C_ADD, C_SUB, C_MUL, C_DIV, C_IDIV, C_MOD, C_NEG, C_ABS, C_SQRT, C_SIN, C_COS, C_ATAN,
    C_EXP, C_LN, C_LOG, C_CVI, C_CVR, C_FLOOR, C_CEILING, C_ROUND, C_DUP, C_POP, C_EXCH,
    C_COPY, C_INDEX, C_ROLL, C_EQ, C_NE, C_GT, C_GE, C_LT, C_LE, C_AND, C_OR, C_NOT,
    C_TRUE, C_FALSE,
};

struct CalcOp {
    uint8_t code;
    float value;  // C_PUSH
    int target;   // C_JZ, C_JMP: index of the next operation when jumping
};

namespace {

const struct {
    const char *name;
    CalcCode code;
} kOperators[] = {
    {"add", C_ADD},     {"sub", C_SUB},         {"mul", C_MUL},     {"div", C_DIV},
    {"idiv", C_IDIV},   {"mod", C_MOD},         {"neg", C_NEG},     {"abs", C_ABS},
    {"sqrt", C_SQRT},   {"sin", C_SIN},         {"cos", C_COS},     {"atan", C_ATAN},
    {"exp", C_EXP},     {"ln", C_LN},           {"log", C_LOG},     {"cvi", C_CVI},
    {"truncate", C_CVI}, {"cvr", C_CVR},        {"floor", C_FLOOR}, {"ceiling", C_CEILING},
    {"round", C_ROUND}, {"dup", C_DUP},         {"pop", C_POP},     {"exch", C_EXCH},
    {"copy", C_COPY},   {"index", C_INDEX},     {"roll", C_ROLL},   {"eq", C_EQ},
    {"ne", C_NE},       {"gt", C_GT},           {"ge", C_GE},       {"lt", C_LT},
    {"le", C_LE},       {"and", C_AND},         {"or", C_OR},       {"not", C_NOT},
    {"true", C_TRUE},   {"false", C_FALSE},
};

bool is_space(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

struct Compiler {
    const uint8_t *text;
    std::vector<int> match;  // position of the brace closing the one at i, or -1
    std::vector<CalcOp> ops;
    bool full = false;

    void emit(CalcCode code, float value = 0, int target = 0)
    {
        if (ops.size() >= size_t(FN_CALC_MAX_OPS)) {
            full = true;
            return;
        }
        ops.push_back({code, value, target});
    }
    int skip_space(int pos, int end) const
    {
        while (pos < end && is_space(text[pos]))
            pos++;
        return pos;
    }
    // Compiles the tokens of [pos, end) at brace depth `depth`.
    void block(int pos, int end, int depth);
};

void Compiler::block(int pos, int end, int depth)
{
    if (depth > FN_CALC_DEPTH)
        return;
    while (!full && (pos = skip_space(pos, end)) < end) {
        uint8_t c = text[pos];
        if (c == '{') {
            int close1 = match[size_t(pos)];
            int open2 = skip_space(close1 + 1, end), close2 = -1;
            if (open2 < end && text[open2] == '{')
                close2 = match[size_t(open2)];
            int after = skip_space((close2 >= 0 ? close2 : close1) + 1, end);
            bool is_if = close2 < 0 && end - after >= 2 && !std::memcmp(text + after, "if", 2);
            bool is_ifelse = close2 >= 0 && end - after >= 6 && !std::memcmp(text + after, "ifelse", 6);
            if (is_if) {
                size_t jz = ops.size();
                emit(C_JZ);
                block(pos + 1, close1, depth + 1);
                if (jz < ops.size())
                    ops[jz].target = int(ops.size());
                pos = after + 2;
            } else if (is_ifelse) {
                size_t jz = ops.size();
                emit(C_JZ);
                block(pos + 1, close1, depth + 1);
                size_t jmp = ops.size();
                emit(C_JMP);
                if (jz < ops.size())
                    ops[jz].target = int(ops.size());
                block(open2 + 1, close2, depth + 1);
                if (jmp < ops.size())
                    ops[jmp].target = int(ops.size());
                pos = after + 6;
            } else {
                pos = (close2 >= 0 ? close2 : close1) + 1;
            }
            continue;
        }
        if (c == '}') {  // cannot happen inside a matched block; kept safe
            pos++;
            continue;
        }
        if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
            char buf[32];
            int n = 0;
            while (pos < end && n < 31 &&
                   ((text[pos] >= '0' && text[pos] <= '9') || text[pos] == '.' || text[pos] == '-' ||
                    text[pos] == '+' || text[pos] == 'e' || text[pos] == 'E'))
                buf[n++] = char(text[pos++]);
            buf[n] = 0;
            double v = std::strtod(buf, nullptr);
            emit(C_PUSH, std::isfinite(v) && std::fabs(v) < 3e38 ? float(v) : 0.0f);
            // A token longer than a number may be is dropped up to its end.
            while (pos < end && !is_space(text[pos]) && text[pos] != '{' && text[pos] != '}')
                pos++;
            continue;
        }
        char name[24];
        int n = 0;
        while (pos < end && !is_space(text[pos]) && text[pos] != '{' && text[pos] != '}') {
            if (n < 23)
                name[n] = char(text[pos]);
            n++, pos++;
        }
        if (n > 23)
            continue;
        name[n] = 0;
        for (const auto &op : kOperators)
            if (!std::strcmp(op.name, name)) {
                emit(op.code);
                break;
            }
    }
}

int trunc_int(float v)
{
    if (!(v > -2e9f && v < 2e9f))
        return 0;
    return int(v);
}

constexpr double kDegrees = 180.0 / 3.14159265;

}  // namespace

namespace {

CalcOp *compile(RenderContext *ctx, const uint8_t *text, int length, int *count)
{
    Compiler c;
    c.text = text;
    c.match.assign(size_t(length > 0 ? length : 0), -1);
    std::vector<int> open;
    int first = -1;
    for (int i = 0; i < length; i++) {
        if (text[i] == '{') {
            if (first < 0)
                first = i;
            open.push_back(i);
        } else if (text[i] == '}' && !open.empty()) {
            c.match[size_t(open.back())] = i;
            open.pop_back();
            if (open.empty())
                break;  // the body ends here; what follows is not read
        }
    }
    if (first < 0 || c.match[size_t(first)] < 0)
        return nullptr;
    c.block(first + 1, c.match[size_t(first)], 1);
    // A program cut at the operation limit keeps its jumps inside what was kept.
    int n = int(c.ops.size());
    for (CalcOp &op : c.ops)
        if ((op.code == C_JZ || op.code == C_JMP) && (op.target > n || op.target <= 0))
            op.target = n;
    auto *ops = static_cast<CalcOp *>(arena_alloc(ctx->arena, sizeof(CalcOp) * size_t(n ? n : 1)));
    if (!ops)
        return nullptr;
    if (n)
        std::memcpy(ops, c.ops.data(), sizeof(CalcOp) * size_t(n));
    *count = n;
    return ops;
}

}  // namespace

CalcOp *calc_compile(RenderContext *ctx, const uint8_t *text, int length, int *count)
{
    *count = 0;
    // The compiler's tables grow with the program text.
    try {
        return compile(ctx, text, length, count);
    } catch (const std::bad_alloc &) {
        *count = 0;
        return nullptr;
    }
}

void calc_run(const CalcOp *ops, int count, float *st, int *height)
{
    int h = *height;
    auto pop = [&]() -> float { return h > 0 ? st[--h] : 0.0f; };
    auto push = [&](float v) {
        if (h < FN_CALC_STACK)
            st[h++] = std::isfinite(v) ? v : 0.0f;
    };
    for (int pc = 0; pc < count;) {
        const CalcOp &op = ops[pc++];
        float a, b;
        switch (op.code) {
        case C_PUSH: push(op.value); break;
        case C_JZ:
            if (pop() == 0.0f)
                pc = op.target;
            break;
        case C_JMP: pc = op.target; break;
        case C_ADD: b = pop(), a = pop(), push(a + b); break;
        case C_SUB: b = pop(), a = pop(), push(a - b); break;
        case C_MUL: b = pop(), a = pop(), push(a * b); break;
        case C_DIV: b = pop(), a = pop(), push(b == 0.0f ? 0.0f : a / b); break;
        case C_IDIV: {
            int d = trunc_int(pop()), n = trunc_int(pop());
            push(d == 0 || (d == -1 && n == INT32_MIN) ? 0.0f : float(n / d));
            break;
        }
        case C_MOD: {
            int d = trunc_int(pop()), n = trunc_int(pop());
            push(d == 0 || d == -1 ? 0.0f : float(n % d));
            break;
        }
        case C_NEG: push(-pop()); break;
        case C_ABS: push(std::fabs(pop())); break;
        case C_SQRT: a = pop(), push(a > 0 ? std::sqrt(a) : 0.0f); break;
        case C_SIN: push(float(std::sin(pop() / kDegrees))); break;
        case C_COS: push(float(std::cos(pop() / kDegrees))); break;
        case C_ATAN: {
            b = pop(), a = pop();
            double d = std::atan2(double(a), double(b)) * kDegrees;
            push(float(d < 0 ? d + 360 : d));
            break;
        }
        case C_EXP: b = pop(), a = pop(), push(float(std::pow(double(a), double(b)))); break;
        case C_LN: a = pop(), push(a > 0 ? std::log(a) : 0.0f); break;
        case C_LOG: a = pop(), push(a > 0 ? std::log10(a) : 0.0f); break;
        case C_CVI: push(std::trunc(pop())); break;
        case C_CVR: break;
        case C_FLOOR: push(std::floor(pop())); break;
        case C_CEILING: push(std::ceil(pop())); break;
        case C_ROUND: push(std::floor(pop() + 0.5f)); break;
        case C_DUP: a = pop(), push(a), push(a); break;
        case C_POP: pop(); break;
        case C_EXCH: b = pop(), a = pop(), push(b), push(a); break;
        case C_COPY: {
            int n = trunc_int(pop());
            if (n > 0 && n <= h)
                for (int i = 0; i < n; i++)
                    push(st[h - n]);
            break;
        }
        case C_INDEX: {
            int n = trunc_int(pop());
            if (n >= 0 && n < h)
                push(st[h - 1 - n]);
            break;
        }
        case C_ROLL: {
            int j = trunc_int(pop()), n = trunc_int(pop());
            if (n > 0 && n <= h) {
                j %= n;
                if (j < 0)
                    j += n;
                float tmp[FN_CALC_STACK];
                for (int i = 0; i < n; i++)
                    tmp[(i + j) % n] = st[h - n + i];
                std::memcpy(st + h - n, tmp, sizeof(float) * size_t(n));
            }
            break;
        }
        case C_EQ: b = pop(), a = pop(), push(a == b); break;
        case C_NE: b = pop(), a = pop(), push(a != b); break;
        case C_GT: b = pop(), a = pop(), push(a > b); break;
        case C_GE: b = pop(), a = pop(), push(a >= b); break;
        case C_LT: b = pop(), a = pop(), push(a < b); break;
        case C_LE: b = pop(), a = pop(), push(a <= b); break;
        case C_AND: b = pop(), a = pop(), push(float(trunc_int(a) & trunc_int(b))); break;
        case C_OR: b = pop(), a = pop(), push(float(trunc_int(a) | trunc_int(b))); break;
        case C_NOT: push(pop() == 0.0f ? 1.0f : 0.0f); break;
        case C_TRUE: push(1.0f); break;
        case C_FALSE: push(0.0f); break;
        }
    }
    *height = h;
}
