/* Plays song 0 of a module to a WAV file: the README's example, built by the install test. */
#include <dbmplay.h>
#include <sndfile.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    int error = DBMPLAY_ERROR_ARGUMENT;
    dbmplay_player *player = argc == 3 ? dbmplay_open_file(argv[1], NULL, &error) : NULL;
    dbmplay_song_length length;
    if (!player || dbmplay_get_song_length(player, 0, &length) != DBMPLAY_OK) {
        fprintf(stderr, "%s\n", dbmplay_error_text(error));
        dbmplay_close(player);
        return 1;
    }
    SF_INFO format = {.samplerate = DBMPLAY_RATE, .channels = 2, .format = SF_FORMAT_WAV | SF_FORMAT_PCM_16};
    SNDFILE *wav = sf_open(argv[2], SFM_WRITE, &format);
    int16_t buffer[2 * 4096];
    for (uint64_t done = 0; wav && done < length.frames; done += 4096) {
        dbmplay_render(player, buffer, 4096);
        sf_writef_short(wav, buffer, 4096);
    }
    dbmplay_close(player);
    return wav && sf_close(wav) == 0 ? 0 : 1;
}
