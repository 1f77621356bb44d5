// The online page as players use it, over loopback only: one game hosts,
// another joins by the address typed, both mark themselves ready and the
// countdown starts; the host leaves and the other is told. Also what a
// player may type: the address, and the name on the options page.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "net/HostAddress.h"
#include "online/OnlineGame.h"
#include "online/OnlinePage.h"
#include "platform/WindowMessage.h"
#include "showroom/OptionsPage.h"
#include "storage/SettingsStore.h"
#include "track/TrackList.h"

namespace fs = std::filesystem;

namespace {

/// Whether any of `lines` holds `text`.
bool Shows(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST(HostAddress, TakesHostAndPortAndSaysWhatIsWrongWithTheRest) {
    std::string why;
    std::optional<HostAddress> a = HostAddress::Parse(" 10.0.0.2 ", 27440, why);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "10.0.0.2");
    EXPECT_EQ(a->port, 27440);
    a = HostAddress::Parse("game-host.example:65535", 27440, why);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "game-host.example");
    EXPECT_EQ(a->port, 65535);

    const struct {
        const char* text;
        const char* why;
    } refused[] = {
        {"", "Type an address: host or host:port"},
        {"host:", "\"\" is no port: 1 to 65535"},
        {"host:0", "\"0\" is no port: 1 to 65535"},
        {"host:65536", "\"65536\" is no port: 1 to 65535"},
        {"host:12a", "\"12a\" is no port: 1 to 65535"},
        {"host:123456", "\"123456\" is no port: 1 to 65535"},
        {"[::1]:27440", "IPv6 addresses cannot be joined: type an IPv4 address or a name"},
        {"fe80::1", "IPv6 addresses cannot be joined: type an IPv4 address or a name"},
        {":27440", "\"\" is no host name or address"},
        {"a b", "\"a b\" is no host name or address"},
        {"../etc", "\"../etc\" is no host name or address"},
    };
    for (const auto& c : refused) {
        EXPECT_FALSE(HostAddress::Parse(c.text, 27440, why)) << c.text;
        EXPECT_EQ(why, c.why) << c.text;
    }
    EXPECT_FALSE(HostAddress::Parse(std::string(300, 'a'), 27440, why));
}

TEST(OptionsPage, ATextRowIsTypedPrintableAndBoundedAndEscapeKeepsItAsItWas) {
    std::string name = "Ann", refusal;
    OptionsPage page;
    OptionsPage::Row row;
    row.label = "Player name";
    row.value = [&]() { return name; };
    row.text = [&](const std::string& typed) {
        if (typed.empty()) return std::string("A name is needed");
        name = typed;
        return std::string();
    };
    row.textLength = 5;
    page.SetSections({{"Online", {row}}});
    page.Open();
    page.OnKey(VK_DOWN, 0);
    page.OnKey(VK_RETURN, 0);
    ASSERT_TRUE(page.IsTyping());
    page.OnKey(VK_BACK, 0);
    for (unsigned c : {unsigned('i'), 0x7fu, 0xe9u, unsigned('\n'), unsigned('k'), unsigned('a'), unsigned('!')})
        page.OnChar(c);
    // "An" + "i", "k", "a": the bound is five; the rest is not printable ASCII.
    page.OnKey(VK_RETURN, 0);
    EXPECT_FALSE(page.IsTyping());
    EXPECT_EQ(name, "Anika");

    page.OnKey(VK_RETURN, 0);
    page.OnChar('x');
    page.OnKey(VK_ESCAPE, 0);
    EXPECT_EQ(name, "Anika");
    EXPECT_TRUE(page.IsOpen()) << "Escape ends the typing, not the page";

    page.OnKey(VK_RETURN, 0);
    for (int i = 0; i < 5; ++i) page.OnKey(VK_BACK, 0);
    page.OnKey(VK_RETURN, 0);
    EXPECT_EQ(page.GetMessage(), "A name is needed");
    EXPECT_EQ(name, "Anika");
}

/// Two games on this machine, each with its own settings folder.
class OnlinePlayers : public ::testing::Test {
protected:
    void SetUp() override {
        for (fs::path* folder : {&hostFolder, &guestFolder}) {
            std::string pattern = (fs::temp_directory_path() / "vantrel-online-XXXXXX").string();
            ASSERT_NE(mkdtemp(pattern.data()), nullptr);
            *folder = pattern;
        }
        hostSettings = std::make_unique<SettingsStore>(hostFolder.string());
        guestSettings = std::make_unique<SettingsStore>(guestFolder.string());
        ASSERT_GT(tracks.Load(), 0u);
    }
    void TearDown() override {
        fs::remove_all(hostFolder);
        fs::remove_all(guestFolder);
    }
    /// Frames of both games until `done`, for at most 10 s.
    template <typename Done>
    bool Run(OnlineGame& host, OnlinePage& hostPage, OnlineGame& guest, OnlinePage& guestPage, Done done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            host.Frame(hostPage, {"NissanSkyline", 0, 2, RacingDriver::Skill::Hard}, 1.0 / 60.0);
            guest.Frame(guestPage, {"BugattiVeyron", 0, 0, RacingDriver::Skill::Easy}, 1.0 / 60.0);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    fs::path hostFolder, guestFolder;
    std::unique_ptr<SettingsStore> hostSettings, guestSettings;
    TrackList tracks;
};

TEST_F(OnlinePlayers, OneHostsAnotherJoinsByAddressBothGetReadyAndTheHostLeaving) {
    OnlineGame host(tracks, hostSettings.get()), guest(tracks, guestSettings.get());
    host.SetListen({"127.0.0.1", 0, std::nullopt});
    ASSERT_EQ(host.SetName("Ann"), "");
    ASSERT_EQ(guest.SetName("Ann"), "");
    EXPECT_NE(guest.SetName(" Ann"), "");
    EXPECT_NE(guest.SetName(std::string(25, 'a')), "");

    OnlinePage hostPage, guestPage;
    hostPage.Open();
    hostPage.OnKey(VK_RETURN, 0);  // "Host a game"
    ASSERT_TRUE(Run(host, hostPage, guest, guestPage, [&] { return hostPage.GetView().inGame; }))
        << hostPage.GetView().status;
    const std::uint16_t port = host.GetSession().GetHostedPort();
    EXPECT_EQ(hostPage.GetView().status, "Hosting 'Ann's game' on port " + std::to_string(port));
    EXPECT_TRUE(Shows(hostPage.GetView().lobby, "Race on " + tracks.GetTracks()[tracks.GetChoices()[0].track].GetKey()))
        << hostPage.GetView().lobby.front();
    EXPECT_TRUE(Shows(hostPage.GetView().lobby, ", 2 opponents"));

    // The guest types the address on the Join line.
    guestPage.Open();
    guestPage.OnKey(VK_DOWN, 0);
    guestPage.OnKey(VK_RETURN, 0);
    ASSERT_TRUE(guestPage.IsTyping());
    for (char c : "127.0.0.1:" + std::to_string(port)) guestPage.OnChar(static_cast<unsigned char>(c));
    guestPage.OnKey(VK_RETURN, 0);
    ASSERT_TRUE(Run(host, hostPage, guest, guestPage, [&] {
        // Once the server has the guest's report of the track.
        return Shows(guestPage.GetView().lobby, "Ann (2)   Bugatti Veyron   not ready   (you)");
    })) << guestPage.GetView().status << testing::PrintToString(guestPage.GetView().lobby);
    EXPECT_TRUE(Shows(guestPage.GetView().lobby, "Ann   Nissan Skyline   not ready"));
    EXPECT_EQ(OnlineSettings::Read(guestSettings.get()).address, "127.0.0.1:" + std::to_string(port));

    hostPage.OnKey('R', 0);
    guestPage.OnKey('R', 0);
    // The hosted server runs on its own thread: each game hears it in its own time.
    EXPECT_TRUE(Run(host, hostPage, guest, guestPage, [&] {
        return Shows(guestPage.GetView().lobby, "Starting in") &&
               Shows(hostPage.GetView().lobby, "Ann (2)   Bugatti Veyron   ready");
    })) << testing::PrintToString(hostPage.GetView().lobby);

    // The host waits for the others to take "Server stopped" as it leaves,
    // so the guest goes on with its frames meanwhile, as on its own machine.
    std::thread leaving([&] {
        hostPage.OnKey(VK_ESCAPE, 0);
        host.Frame(hostPage, {"NissanSkyline", 0, 2, RacingDriver::Skill::Hard}, 1.0 / 60.0);
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (guestPage.GetView().inGame && std::chrono::steady_clock::now() < until) {
        guest.Frame(guestPage, {"BugattiVeyron", 0, 0, RacingDriver::Skill::Easy}, 1.0 / 60.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    leaving.join();
    EXPECT_FALSE(hostPage.GetView().inGame);
    EXPECT_FALSE(guestPage.GetView().inGame);
    EXPECT_EQ(guestPage.GetView().status, "Server stopped");
}

TEST_F(OnlinePlayers, AGameHostedWithAPasswordTakesOnlyThoseWhoTypeItAndRacesTheModeChosen) {
    OnlineGame host(tracks, hostSettings.get()), guest(tracks, guestSettings.get());
    host.SetListen({"127.0.0.1", 0, std::nullopt});
    ASSERT_EQ(host.SetName("Ann"), "");
    ASSERT_EQ(guest.SetName("Bob"), "");
    const auto typeOn = [](OnlinePage& page, int line, const std::string& text) {
        for (int i = 0; i < line; ++i) page.OnKey(VK_DOWN, 0);
        page.OnKey(VK_RETURN, 0);
        for (int i = 0; i < 40; ++i) page.OnKey(VK_BACK, 0);
        for (char c : text) page.OnChar(static_cast<unsigned char>(c));
        page.OnKey(VK_RETURN, 0);
        for (int i = 0; i < line; ++i) page.OnKey(VK_UP, 0);
    };

    // The host types the password, then hosts; it reads as stars.
    OnlinePage hostPage, guestPage;
    hostPage.Open();
    typeOn(hostPage, 2, "swordfish");
    int chosen = -1;
    EXPECT_TRUE(Shows(hostPage.Lines(chosen), "Password: *********"));
    EXPECT_FALSE(Shows(hostPage.Lines(chosen), "swordfish"));
    // A Time Trial this time: Left on the host line.
    hostPage.OnKey(VK_LEFT, 0);
    EXPECT_TRUE(Shows(hostPage.Lines(chosen), "Host a game: Time Trial"));
    hostPage.OnKey(VK_RETURN, 0);
    ASSERT_TRUE(Run(host, hostPage, guest, guestPage, [&] { return hostPage.GetView().inGame; }));
    EXPECT_TRUE(Shows(hostPage.GetView().lobby, "Time Trial on ")) << hostPage.GetView().lobby.front();
    EXPECT_FALSE(Shows(hostPage.GetView().lobby, "opponent")) << "a trial has none";
    const std::string address = "127.0.0.1:" + std::to_string(host.GetSession().GetHostedPort());

    // Without it the guest is told so; with it, the guest is in.
    guestPage.Open();
    typeOn(guestPage, 1, address);
    EXPECT_TRUE(Run(host, hostPage, guest, guestPage, [&] { return guestPage.GetView().status == "Wrong password"; }))
        << guestPage.GetView().status;
    typeOn(guestPage, 2, "swordfish");
    typeOn(guestPage, 1, address);
    EXPECT_TRUE(Run(host, hostPage, guest, guestPage, [&] { return guestPage.GetView().inGame; }))
        << guestPage.GetView().status;
    host.Leave();
}
