#include "tools/kvplay/song_clock.h"

#include "engine/lifecycle.h"
#include "engine/sequencer.h"
#include "engine/song_position.h"
#include "tools/kvplay/length_plan.h"

namespace kvplay {

SongClock::SongClock(const dbm::Module *module, int song, uint64_t start)
    : module_(module), song_(song), start_(start)
{
}

SongClock::~SongClock()
{
    dbm::destroyEngine(engine_);
}

SongPosition SongClock::at(uint64_t heard)
{
    const uint64_t frame = start_ + heard;
    if (engine_ && frame < frames_) {
        dbm::destroyEngine(engine_);
        engine_ = nullptr;
    }
    if (!engine_) {
        engine_ = module_ ? dbm::createEngine(module_, OUTPUT_RATE, 1) : nullptr;
        if (engine_ && song_)
            dbm::setPosition(engine_, uint32_t(song_), 0, 0);
        frames_ = 0;
        stopped_ = false;
        position_ = SongPosition{};
        if (!engine_)
            return position_;
    }
    while (frames_ <= frame && !stopped_) {
        if (engine_->tick == 0 && engine_->rowDelay <= 0) {
            // The row this tick plays is where the pending jumps lead:
            // applied to a copy of the engine's scalars, which is all they
            // touch. Running off the order list halts instead.
            dbm::Engine next = *engine_;
            dbm::applyPendingJumps(&next);
            if (next.rowDelay != dbm::ROW_DELAY_HALT)
                position_ = {true, next.orderPosition, dbm::orderCount(&next), next.currentPattern,
                             next.currentRow, dbm::patternRows(&next, next.currentPattern)};
        }
        stopped_ = dbm::runTick(engine_) != 0;
        frames_ += engine_->framesLeftInTick;
    }
    return position_;
}

} // namespace kvplay
