// Page history and search-hit order (see search_logic.h).
#include "shell/logic/search_logic.h"

#include <cstring>

void history_record(int *pages, int capacity, int *count, int *pos, int page)
{
    if (capacity <= 0)
        return;
    if (*count <= 0) {
        *pos = 0;
    } else if (*pos < capacity - 1) {
        ++*pos;
    } else {
        std::memmove(pages, pages + 1, sizeof(int) * size_t(capacity - 1));
        *pos = capacity - 1;
    }
    pages[*pos] = page;
    *count = *pos + 1;
}

int history_move(const int *pages, int count, int *pos, int direction)
{
    int next = *pos + (direction < 0 ? -1 : 1);
    if (direction == 0 || next < 0 || next >= count)
        return -1;
    *pos = next;
    return pages[next];
}

HitPlace search_next_hit(int page_count, int current_page, HitPlace current, bool from_start,
                         int direction, const std::function<int(int page)> &hits_on)
{
    const int step = direction < 0 ? -1 : 1;
    if (page_count <= 0)
        return {-1, -1};
    int start;
    if (from_start) {
        start = step > 0 ? 0 : page_count - 1;
    } else {
        if (current.page == current_page && current.page >= 0 && current.index >= 0) {
            const int next = current.index + step;
            if (next >= 0 && next < hits_on(current_page))
                return {current_page, next};
        }
        start = current_page + step;
    }
    for (int i = 0; i < page_count; i++) {
        const int page = ((start + step * i) % page_count + page_count) % page_count;
        const int n = hits_on(page);
        if (n > 0)
            return {page, step > 0 ? 0 : n - 1};
    }
    return {-1, -1};
}
