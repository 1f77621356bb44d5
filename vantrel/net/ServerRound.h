#pragma once
// What a server runs while its lobby races: a Race of the field
// (ServerRace) or a Time Trial (ServerTrial).
#include <cstdint>
#include <string>
#include <vector>

#include "Protocol.h"
#include "StateCheck.h"
#include "race/FixedTick.h"

/// One race of the lobby as the server keeps it, with nothing drawn: the
/// server counts the ticks, checks each player's states, times the finishes
/// by its own ticks and tells the results. Racer ids: the players' own, the
/// game's drivers' Protocol::MaxPlayers plus their grid number.
class ServerRound {
public:
    struct Entrant {
        std::uint8_t id = 0;
        std::string car;  ///< its key; an unknown one races the first car
        std::string name;
    };

    virtual ~ServerRound() = default;

    /// What the clients are told at the start.
    virtual const Protocol::RaceStart& GetStart() const = 0;
    /// The ticks that bring the race level with `dtS` more seconds.
    void Step(double dtS) {
        const int ticks = fixedTick.Advance(dtS);
        for (int i = 0; i < ticks; ++i) Tick();
    }
    virtual void Tick() = 0;
    /// A player's state, checked against what the server saw of that car so far.
    virtual StateCheck::Verdict Take(const Protocol::CarState& state) = 0;
    /// Takes a player's car out of the race (gone, or removed).
    virtual void Remove(std::uint8_t id) = 0;
    /// The game's drivers' states of the ticks run since the last call.
    virtual std::vector<Protocol::CarState> TakeOpponentStates() { return {}; }
    virtual bool IsOver() const = 0;
    /// Every car still in the race, first to last.
    virtual Protocol::RaceResult GetResult() const = 0;

    /// The race's ticks so far.
    std::uint32_t GetTick() const { return tickCount; }
    bool IsReleased() const { return tickCount >= GetStart().releaseTick; }

protected:
    FixedTick fixedTick;
    std::uint32_t tickCount = 0;
};
