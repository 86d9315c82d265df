// A deliberate data race. The ThreadSanitizer job expects this program to fail: if it passes, the
// suppressions have silenced everything and the job proves nothing.
#include <thread>

int counter = 0;

int main() {
    std::thread a([] {
        for (int i = 0; i < 100000; ++i)
            ++counter;
    });
    std::thread b([] {
        for (int i = 0; i < 100000; ++i)
            ++counter;
    });
    a.join();
    b.join();
    return counter == 0 ? 1 : 0;
}
