#include <cstdio>

int main()
{
    std::fputs("tolvanrise: the window is not built yet\n", stderr);
    return 0;
}
