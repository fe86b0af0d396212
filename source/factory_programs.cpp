#include "source/factory_programs.h"

#include "amp/tarvex.h"

#include <cstddef>

namespace {

// A program from its values in parameter-index order, one group of
// parameters per argument; a group of the wrong length does not build.
template <std::size_t front, std::size_t channelA, std::size_t channelB, std::size_t effects,
          std::size_t equaliser, std::size_t output>
consteval FactoryProgram
program(const char* name, const float (&frontValues)[front],
        const float (&channelAValues)[channelA], const float (&channelBValues)[channelB],
        const float (&effectValues)[effects], const float (&equaliserValues)[equaliser],
        const float (&outputValues)[output]) {
    static_assert(front == Param::compressorA_enable);
    static_assert(channelA == Param::compressorB_enable - Param::compressorA_enable);
    static_assert(channelB == Param::mixAB - Param::compressorB_enable);
    static_assert(effects == Param::eq_band1 - Param::mixAB);
    static_assert(equaliser == Param::eq_enable - Param::eq_band1);
    static_assert(output == Param::count - Param::eq_enable);
    FactoryProgram made{name, {}};
    float* to = made.values;
    for (float v : frontValues)
        *to++ = v;
    for (float v : channelAValues)
        *to++ = v;
    for (float v : channelBValues)
        *to++ = v;
    for (float v : effectValues)
        *to++ = v;
    for (float v : equaliserValues)
        *to++ = v;
    for (float v : outputValues)
        *to++ = v;
    return made;
}

} // namespace

// Values as the factory preset texts write them ("%g"), in parameter-index
// order; each is applied as the nearest float. One group of parameters a line:
//   mode, crossover_frequency, invertB_enable, channel_select
//   channel A: compressorA_enable, compressorA_amount, compressorA_attack, gainA, boostA_enable,
//              bassA, midsA, midsA_frequency, trebleA, driveA, clippingA
//   channel B: the same eleven
//   mixAB, chorus_enable, chorus_level, chorus_speed, chorus_cutoff,
//              reverb_enable, reverb_level, reverb_decay, reverb_damping
//   eq_band1 to eq_band6,
//              eq_band7 to eq_band12, eq_level
//   eq_enable, bright, deep, cabinet, master_volume
// clang-format off
const FactoryProgram factoryPrograms[factoryProgramCount] = {
    program("Start Here",
            {0.0f, 0.5f, 0.0f, 0.5f},
            {0.0f, 0.0f, 0.00500002f, 0.71f, 0.0f, 0.5f, 0.5f, 0.5f, 0.5f, 0.71f, 0.725f},
            {0.0f, 1.11759e-08f, 2.23517e-08f, 0.71f, 0.0f, 0.5f, 0.5f, 0.5f, 0.5f, 0.705f, 0.72f},
            {0.506173f, 0.0f, 0.0f, 0.5f, 0.5f, 0.0f, 0.0f, 0.5f, 0.5f},
            {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
             0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f},
            {1.0f, 1.0f, 1.0f, 0.25f, 0.661017f}),
    program("Rich Tone",
            {1.0f, 0.335f, 1.0f, 0.5f},
            {1.0f, 0.315f, 0.785f, 0.71f, 0.0f, 0.5f, 0.5f, 0.5f, 0.72f, 0.62f, 0.9f},
            {1.0f, 0.795f, 0.37f, 0.72f, 0.0f, 0.5f, 0.5f, 0.5f, 0.53f, 0.59f, 0.815f},
            {0.518519f, 0.0f, 0.275f, 0.5f, 0.5f, 1.0f, 0.56f, 0.29f, 0.345f},
            {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
             0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f},
            {0.0f, 0.5f, 0.5f, 1.0f, 0.5f}),
    program("Big Classic Rig",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 0.35f, 0.0f, 0.845f, 0.645f, 0.36f, 0.87f, 1.0f, 0.3f},
            {0.0f, 0.0f, 0.0f, 0.35f, 0.0f, 0.845f, 0.645f, 0.36f, 0.87f, 1.0f, 0.3f},
            {0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.5f, 0.5375f, 0.5375f, 0.5139f, 0.4583f, 0.4167f,
             0.4167f, 0.4306f, 0.5139f, 0.5375f, 0.5125f, 0.4875f, 0.6944f},
            {0.0f, 1.0f, 1.0f, 1.0f, 0.661017f}),
    program("Warm Limiter",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 0.355f, 0.0f, 0.79f, 0.645f, 0.36f, 0.87f, 1.0f, 0.085f},
            {0.0f, 0.0f, 0.0f, 0.355f, 0.0f, 0.79f, 0.645f, 0.36f, 0.87f, 1.0f, 0.085f},
            {0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.3875f, 0.45f, 0.5139f, 0.6111f, 0.6389f, 0.4167f,
             0.4028f, 0.3611f, 0.25f, 0.2125f, 0.1875f, 0.15f, 0.5972f},
            {1.0f, 0.995f, 1.0f, 0.25f, 0.661017f}),
    program("Deep Tube DI",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 0.315f, 0.0f, 0.9f, 0.175f, 0.545f, 0.69f, 0.83f, 0.665f},
            {0.0f, 0.0f, 0.0f, 0.315f, 0.0f, 0.9f, 0.175f, 0.545f, 0.69f, 0.83f, 0.665f},
            {0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.6125f, 0.625f, 0.5972f, 0.5278f, 0.4861f, 0.4722f,
             0.4583f, 0.5278f, 0.6389f, 0.6875f, 0.6875f, 0.6389f, 0.4375f},
            {1.0f, 0.0f, 1.0f, 0.25f, 0.491525f}),
    program("Bass Vesperel",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 0.405f, 0.0f, 0.785f, 0.815f, 0.55f, 0.84f, 0.74f, 0.43f},
            {0.0f, 0.0f, 0.0f, 0.405f, 0.0f, 0.785f, 0.815f, 0.55f, 0.84f, 0.74f, 0.43f},
            {0.506173f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.8125f, 0.875f, 0.8625f, 0.7375f, 0.5417f, 0.375f,
             0.4167f, 0.6806f, 0.7083f, 0.7875f, 0.7625f, 0.7083f, 0.0f},
            {1.0f, 1.0f, 1.0f, 0.75f, 0.355932f}),
    program("Pillow Soft",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 0.21f, 0.0f, 1.0f, 0.255f, 0.795f, 0.795f, 0.825f, 0.0f},
            {0.0f, 0.0f, 0.0f, 0.21f, 0.0f, 1.0f, 0.255f, 0.795f, 0.795f, 0.825f, 0.0f},
            {0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.6528f, 0.6528f, 0.6528f, 0.6667f, 0.5417f, 0.3889f,
             0.3056f, 0.1389f, 0.0139f, 0.0f, 0.0f, 0.0f, 0.4375f},
            {1.0f, 0.0f, 1.0f, 0.25f, 0.423729f}),
    program("Deep Classical",
            {0.5f, 0.185f, 1.0f, 0.5f},
            {1.0f, 0.34f, 0.475f, 0.195f, 0.0f, 0.455f, 0.035f, 0.18f, 0.0f, 0.73f, 0.755f},
            {0.5f, 0.74f, 0.785f, 0.335f, 0.0f, 0.0f, 0.96f, 0.235f, 0.295f, 0.67f, 0.74f},
            {0.567901f, 1.0f, 0.535f, 0.315f, 0.83f, 1.0f, 0.995f, 0.405f, 1.0f},
            {0.475f, 0.75f, 0.9f, 0.7625f, 0.8f, 0.5375f,
             0.375f, 0.2625f, 0.25f, 0.1875f, 0.2f, 0.15f, 0.375f},
            {1.0f, 0.255f, 0.75f, 1.0f, 0.677966f}),
    program("Slap It",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 0.27f, 0.0f, 0.79f, 0.0f, 0.295f, 0.51f, 1.0f, 0.76f},
            {0.0f, 0.0f, 0.0f, 0.27f, 0.0f, 0.79f, 0.0f, 0.3f, 0.795f, 1.0f, 0.76f},
            {0.5f, 1.0f, 0.21f, 0.15f, 0.51f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.6806f, 0.7125f, 0.725f, 0.6944f, 0.6111f, 0.4f,
             0.4722f, 0.6389f, 0.7361f, 0.7625f, 0.7625f, 0.7625f, 0.05f},
            {1.0f, 1.0f, 0.475f, 0.25f, 0.711864f}),
    program("Practice Amp",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 0.175f, 0.0f, 0.925f, 0.605f, 0.795f, 0.51f, 1.0f, 0.885f},
            {0.0f, 0.0f, 0.0f, 0.51f, 0.0f, 0.925f, 0.605f, 0.795f, 0.51f, 0.65f, 0.675f},
            {0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.0833f, 0.1125f, 0.225f, 0.4583f, 0.5972f, 0.8333f,
             0.7639f, 0.8333f, 0.8889f, 0.8889f, 0.8625f, 0.7875f, 0.275f},
            {1.0f, 0.0f, 0.56f, 0.5f, 0.40678f}),
    program("Old Geezer",
            {1.0f, 0.205f, 1.0f, 0.5f},
            {0.5f, 0.88f, 0.205f, 0.26f, 0.0f, 0.935f, 0.105f, 0.12f, 0.18f, 0.74f, 0.36f},
            {1.0f, 0.59f, 0.395f, 0.26f, 1.0f, 3.72529e-08f, 1.0f, 0.555f, 0.315f, 0.185f, 0.14f},
            {0.469136f, 0.0f, 0.5f, 0.54f, 0.535f, 1.0f, 0.285f, 0.165f, 0.19f},
            {0.575f, 0.65f, 0.7125f, 0.7625f, 0.6625f, 0.6125f,
             0.525f, 0.5625f, 0.4875f, 0.475f, 0.35f, 0.225f, 0.4875f},
            {1.0f, 0.44f, 0.64f, 0.5f, 0.525424f}),
    program("Honky 4x10",
            {1.0f, 0.275f, 0.0f, 0.5f},
            {0.5f, 1.0f, 0.205f, 0.265f, 0.0f, 1.0f, 0.00500002f, 0.18f, 1.11759e-08f, 0.43f, 0.36f},
            {1.0f, 0.705f, 0.785f, 0.335f, 1.0f, 3.72529e-08f, 1.0f, 0.535f, 0.275f, 0.15f, 0.415f},
            {0.481481f, 0.0f, 0.525f, 0.53f, 0.375f, 1.0f, 0.4f, 0.235f, 0.19f},
            {0.7f, 0.7625f, 0.875f, 0.7f, 0.6f, 0.7375f,
             0.6625f, 0.6125f, 0.55f, 0.75f, 0.5625f, 0.4125f, 0.325f},
            {1.0f, 0.485f, 0.695f, 0.75f, 0.322034f}),
    program("Bass Cavern",
            {0.0f, 0.535f, 0.0f, 1.0f},
            {1.0f, 0.3f, 0.72f, 0.535f, 0.0f, 0.935f, 1.0f, 0.555f, 0.51f, 0.495f, 0.61f},
            {0.0f, 0.42f, 2.23517e-08f, 1.0f, 0.0f, 0.5f, 0.5f, 0.5f, 0.51f, 0.705f, 0.0f},
            {0.506173f, 0.0f, 0.31f, 0.37f, 0.195f, 1.0f, 1.0f, 0.885f, 0.27f},
            {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
             0.5f, 0.6375f, 0.7f, 0.6625f, 0.575f, 0.5125f, 0.5f},
            {0.0f, 1.0f, 1.0f, 1.0f, 0.508475f}),
    program("Harmonic Heaven",
            {1.0f, 0.61f, 1.0f, 0.5f},
            {0.5f, 0.735f, 0.62f, 0.315f, 0.0f, 0.82f, 0.16f, 0.335f, 0.18f, 0.75f, 0.22f},
            {1.0f, 0.605f, 0.805f, 0.585f, 0.0f, 0.79f, 0.875f, 0.53f, 0.66f, 0.59f, 0.63f},
            {0.506173f, 1.0f, 0.29f, 0.18f, 0.51f, 1.0f, 0.685f, 0.695f, 0.365f},
            {0.4875f, 0.6625f, 0.6125f, 0.6125f, 0.75f, 0.6f,
             0.725f, 0.6f, 0.575f, 0.6125f, 0.5875f, 0.625f, 0.5f},
            {1.0f, 0.5f, 0.66f, 0.75f, 0.305085f}),
    program("Harmonic Hell",
            {1.0f, 0.335f, 0.0f, 0.5f},
            {0.5f, 0.8f, 0.62f, 0.315f, 0.0f, 0.82f, 0.255f, 0.16f, 0.18f, 0.75f, 0.22f},
            {1.0f, 0.79f, 0.805f, 0.385f, 1.0f, 0.79f, 0.835f, 0.525f, 0.725f, 0.59f, 0.63f},
            {0.530864f, 1.0f, 0.495f, 0.335f, 0.32f, 0.0f, 0.57f, 0.625f, 0.13f},
            {0.4875f, 0.6625f, 0.5f, 0.55f, 0.75f, 0.55f,
             0.575f, 0.5875f, 0.6375f, 0.55f, 0.5125f, 0.475f, 0.3f},
            {1.0f, 0.5f, 0.63f, 1.0f, 0.457627f}),
    program("Growl n'Snarl",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 0.745f, 1.0f, 0.345f, 1.0f, 0.65f, 0.24f, 0.34f, 0.135f},
            {0.0f, 0.0f, 0.0f, 0.745f, 1.0f, 0.345f, 1.0f, 0.65f, 0.24f, 0.34f, 0.135f},
            {0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.8f, 0.875f, 0.9f, 0.7639f, 0.4167f, 0.3472f,
             0.5278f, 0.5417f, 0.7222f, 0.775f, 0.7625f, 0.7222f, 0.5125f},
            {1.0f, 0.0f, 0.0f, 0.5f, 0.661017f}),
    program("Crunchy Bass",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 0.85f, 0.0f, 0.515f, 0.495f, 0.745f, 0.87f, 1.0f, 0.655f},
            {0.0f, 0.0f, 0.0f, 0.85f, 0.0f, 0.515f, 0.495f, 0.745f, 0.87f, 1.0f, 0.655f},
            {0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.5375f, 0.6125f, 0.6625f, 0.7083f, 0.4375f, 0.3125f,
             0.4375f, 0.5972f, 0.6667f, 0.7125f, 0.7f, 0.625f, 0.1528f},
            {1.0f, 1.0f, 1.0f, 0.75f, 0.661017f}),
    program("XYZ",
            {0.5f, 0.24f, 1.0f, 0.5f},
            {1.0f, 0.215f, 0.645f, 0.17f, 0.0f, 0.73f, 0.055f, 0.245f, 0.0f, 0.96f, 0.32f},
            {0.5f, 0.74f, 0.785f, 0.57f, 0.0f, 0.0f, 0.405f, 0.275f, 0.66f, 0.88f, 0.74f},
            {0.851852f, 1.0f, 0.725f, 0.13f, 0.83f, 1.0f, 0.57f, 0.78f, 0.8f},
            {0.5f, 0.6375f, 0.6125f, 0.325f, 0.525f, 0.6375f,
             0.5375f, 0.6f, 0.625f, 0.525f, 0.55f, 0.5375f, 0.7375f},
            {1.0f, 0.525f, 0.82f, 1.0f, 0.79661f}),
    program("Bass Of Spades",
            {1.0f, 0.335f, 0.0f, 0.5f},
            {0.5f, 0.845f, 0.2f, 0.205f, 0.0f, 0.88f, 0.095f, 0.335f, 0.0f, 0.87f, 0.095f},
            {1.0f, 0.93f, 0.805f, 0.825f, 1.0f, 0.21f, 0.775f, 0.635f, 0.62f, 0.59f, 0.63f},
            {0.691358f, 1.0f, 0.445f, 0.26f, 0.4f, 1.0f, 0.795f, 1.0f, 0.0f},
            {0.4875f, 0.6625f, 0.5f, 0.55f, 0.7125f, 0.5125f,
             0.4125f, 0.325f, 0.4f, 0.5625f, 0.5125f, 0.5375f, 0.5f},
            {1.0f, 0.86f, 0.755f, 1.0f, 0.474576f}),
    program("Anesthesia",
            {0.0f, 0.5f, 0.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.515f, 0.285f, 0.33f, 0.805f, 1.0f, 1.0f},
            {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.515f, 0.285f, 0.33f, 0.805f, 1.0f, 1.0f},
            {0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
            {0.4f, 0.5875f, 0.5625f, 0.4583f, 0.375f, 0.0556f,
             0.3611f, 0.5972f, 0.6667f, 0.6875f, 0.7f, 0.6375f, 0.2639f},
            {1.0f, 1.0f, 1.0f, 0.5f, 0.661017f}),
};
// clang-format on

void applyFactoryProgram(Tarvex& engine, int program) {
    for (int i = 0; i < Param::count; ++i)
        engine.SetParameter(i, factoryPrograms[program].values[i]);
}
