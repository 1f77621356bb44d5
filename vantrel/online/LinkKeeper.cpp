#include "LinkKeeper.h"

#include "net/NetClient.h"

LinkKeeper::LinkKeeper(NetClient* client) {
    if (!client) return;
    thread = std::thread([this, client] {
        // Each wait is short, so the keeper lets go soon after it is told.
        while (!stop.load()) client->Service(20);
    });
}

LinkKeeper::~LinkKeeper() {
    stop = true;
    if (thread.joinable()) thread.join();
}
