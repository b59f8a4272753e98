#include "platform/portal/PortalPipeWire.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/utils/result.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* The largest pointer picture offered room for: mutter sends the pointer as metadata only
 * to a consumer that takes pictures of 384 x 384. */
#define CURSOR_META_SIZE(side) \
    ((int)(sizeof(struct spa_meta_cursor) + sizeof(struct spa_meta_bitmap) + (side) * (side)*4))

/* The pixel formats Kestrel takes, and each byte's place in the little-endian word, from
 * the order the format's name gives in memory. */
static const struct {
    enum spa_video_format Format;
    int RedShift;
    int GreenShift;
    int BlueShift;
} FORMATS[] = {
    {SPA_VIDEO_FORMAT_BGRx, 16, 8, 0},  {SPA_VIDEO_FORMAT_BGRA, 16, 8, 0},
    {SPA_VIDEO_FORMAT_RGBx, 0, 8, 16},  {SPA_VIDEO_FORMAT_RGBA, 0, 8, 16},
    {SPA_VIDEO_FORMAT_xRGB, 8, 16, 24}, {SPA_VIDEO_FORMAT_ARGB, 8, 16, 24},
    {SPA_VIDEO_FORMAT_xBGR, 24, 16, 8}, {SPA_VIDEO_FORMAT_ABGR, 24, 16, 8},
};

struct KestrelPwStream {
    struct pw_thread_loop* loop;
    struct pw_context* context;
    struct pw_core* core;
    struct pw_stream* stream;
    struct spa_hook listener;
    struct spa_video_info_raw format;
    int hasFormat;
    int state; /* as KestrelPwState answers */
    char ended[256];
    struct pw_buffer* kept;
    struct spa_video_info_raw keptFormat; /* the format the kept frame came in */
    int pictured;                         /* a first picture came */
    void (*onPictured)(void*);            /* told of the first */
    void* onPicturedData;
    int pointerKnown;
    int pointerX;
    int pointerY;
    int sendsPointer;
};

static void SetEnded(KestrelPwStream* s, const char* why) {
    s->state = -1;
    snprintf(s->ended, sizeof s->ended, "%s", why);
}

static void OnStateChanged(void* data, enum pw_stream_state old, enum pw_stream_state state,
                           const char* error) {
    KestrelPwStream* s = data;
    (void)old;
    if (state == PW_STREAM_STATE_STREAMING || state == PW_STREAM_STATE_PAUSED) {
        if (s->state == 0)
            s->state = 1;
    } else if (state == PW_STREAM_STATE_ERROR) {
        SetEnded(s, error != NULL ? error : "the screen's stream failed");
    } else if (state == PW_STREAM_STATE_UNCONNECTED) {
        SetEnded(s, "the desktop ended the screen's stream");
    }
    pw_thread_loop_signal(s->loop, false);
}

static void OnParamChanged(void* data, uint32_t id, const struct spa_pod* param) {
    KestrelPwStream* s = data;
    uint32_t mediaType;
    uint32_t mediaSubtype;
    if (param == NULL || id != SPA_PARAM_Format)
        return;
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 ||
        spa_format_video_raw_parse(param, &s->format) < 0)
        return;
    s->hasFormat = 1;
    /* A new format (the monitor changed its size) comes with new buffers: the kept frame goes
     * back, and the next one is of the new size. */
    if (s->kept != NULL) {
        pw_stream_queue_buffer(s->stream, s->kept);
        s->kept = NULL;
    }

    uint8_t space[1024];
    struct spa_pod_builder b = SPA_POD_BUILDER_INIT(space, sizeof space);
    const struct spa_pod* params[3];
    params[0] = spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd)));
    params[1] = spa_pod_builder_add_object(&b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
                                           SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
                                           SPA_PARAM_META_size,
                                           SPA_POD_Int(sizeof(struct spa_meta_header)));
    params[2] = spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
        SPA_POD_CHOICE_RANGE_Int(CURSOR_META_SIZE(64), CURSOR_META_SIZE(1),
                                 CURSOR_META_SIZE(1024)));
    pw_stream_update_params(s->stream, params, 3);
}

static int HasPicture(struct pw_buffer* buffer) {
    const struct spa_data* d = &buffer->buffer->datas[0];
    const struct spa_meta_header* header =
        spa_buffer_find_meta_data(buffer->buffer, SPA_META_Header, sizeof *header);
    if (header != NULL && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED))
        return 0;
    return d->data != NULL && d->chunk != NULL && d->chunk->size > 0 &&
           !(d->chunk->flags & SPA_CHUNK_FLAG_CORRUPTED);
}

static void ReadPointer(KestrelPwStream* s, struct pw_buffer* buffer) {
    const struct spa_meta_cursor* cursor =
        spa_buffer_find_meta_data(buffer->buffer, SPA_META_Cursor, sizeof *cursor);
    if (cursor == NULL)
        return;
    s->sendsPointer = 1;
    /* Id 0: the pointer is not on this monitor. */
    s->pointerKnown = spa_meta_cursor_is_valid(cursor);
    if (s->pointerKnown) {
        s->pointerX = cursor->position.x;
        s->pointerY = cursor->position.y;
    }
}

/* Every buffer that came is looked at for the pointer; the newest picture is kept and the
 * one kept before goes back. A buffer with only the pointer in it goes back at once. */
static void OnProcess(void* data) {
    KestrelPwStream* s = data;
    struct pw_buffer* buffer;
    while ((buffer = pw_stream_dequeue_buffer(s->stream)) != NULL) {
        ReadPointer(s, buffer);
        if (HasPicture(buffer)) {
            if (s->kept != NULL)
                pw_stream_queue_buffer(s->stream, s->kept);
            s->kept = buffer;
            s->keptFormat = s->format;
            if (!s->pictured && s->onPictured != NULL)
                s->onPictured(s->onPicturedData);
            s->pictured = 1;
        } else {
            pw_stream_queue_buffer(s->stream, buffer);
        }
    }
}

/* PipeWire takes buffers back when the stream renegotiates or ends, the kept one too: its
 * memory is no longer mapped. */
static void OnRemoveBuffer(void* data, struct pw_buffer* buffer) {
    KestrelPwStream* s = data;
    if (s->kept == buffer)
        s->kept = NULL;
}

static const struct pw_stream_events EVENTS = {
    PW_VERSION_STREAM_EVENTS,
    .state_changed = OnStateChanged,
    .param_changed = OnParamChanged,
    .remove_buffer = OnRemoveBuffer,
    .process = OnProcess,
};

KestrelPwStream* KestrelPwOpen(int fd, uint32_t node, void (*pictured)(void*), void* data,
                               char* error, size_t errorSize) {
    pw_init(NULL, NULL);
    KestrelPwStream* s = calloc(1, sizeof *s);
    if (s == NULL) {
        snprintf(error, errorSize, "out of memory");
        close(fd);
        return NULL;
    }
    s->onPictured = pictured;
    s->onPicturedData = data;
    s->loop = pw_thread_loop_new("kestrel-screencast", NULL);
    if (s->loop == NULL) {
        snprintf(error, errorSize, "PipeWire's thread could not be made");
        close(fd);
        free(s);
        return NULL;
    }
    /* No realtime module: it asks RTKit over D-Bus from a thread of its own, which a desktop
     * without RTKit leaves waiting for the bus's time-out, and closing the stream joins that
     * thread, so an ended stream held the program up for most of a minute. A screen cast's
     * frames need no realtime priority. */
    s->context = pw_context_new(pw_thread_loop_get_loop(s->loop),
                                pw_properties_new("module.rt", "false", NULL), 0);
    if (s->context == NULL || pw_thread_loop_start(s->loop) < 0) {
        snprintf(error, errorSize, "PipeWire could not be started");
        close(fd);
        KestrelPwClose(s);
        return NULL;
    }
    pw_thread_loop_lock(s->loop);
    s->core = pw_context_connect_fd(s->context, fd, NULL, 0);
    if (s->core == NULL) {
        snprintf(error, errorSize, "cannot connect to the screen's PipeWire: %s", strerror(errno));
        pw_thread_loop_unlock(s->loop);
        KestrelPwClose(s);
        return NULL;
    }
    s->stream = pw_stream_new(s->core, "Kestrel",
                              pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                                "Capture", PW_KEY_MEDIA_ROLE, "Screen", NULL));
    pw_stream_add_listener(s->stream, &s->listener, &EVENTS, s);

    uint8_t space[1024];
    struct spa_pod_builder b = SPA_POD_BUILDER_INIT(space, sizeof space);
    struct spa_pod_frame object;
    struct spa_pod_frame choice;
    spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(&b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
                        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), 0);
    /* The formats Kestrel reads, the first of them preferred. */
    spa_pod_builder_prop(&b, SPA_FORMAT_VIDEO_format, 0);
    spa_pod_builder_push_choice(&b, &choice, SPA_CHOICE_Enum, 0);
    spa_pod_builder_id(&b, FORMATS[0].Format);
    for (size_t i = 0; i < sizeof FORMATS / sizeof FORMATS[0]; ++i)
        spa_pod_builder_id(&b, FORMATS[i].Format);
    spa_pod_builder_pop(&b, &choice);
    spa_pod_builder_add(
        &b, SPA_FORMAT_VIDEO_size,
        SPA_POD_CHOICE_RANGE_Rectangle(&SPA_RECTANGLE(1920, 1080), &SPA_RECTANGLE(1, 1),
                                       &SPA_RECTANGLE(16384, 16384)),
        SPA_FORMAT_VIDEO_framerate,
        SPA_POD_CHOICE_RANGE_Fraction(&SPA_FRACTION(0, 1), &SPA_FRACTION(0, 1),
                                      &SPA_FRACTION(1000, 1)),
        0);
    const struct spa_pod* params[1];
    params[0] = (const struct spa_pod*)spa_pod_builder_pop(&b, &object);
    const int connected =
        pw_stream_connect(s->stream, PW_DIRECTION_INPUT, node,
                          PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS, params, 1);
    pw_thread_loop_unlock(s->loop);
    if (connected < 0) {
        snprintf(error, errorSize, "cannot connect to the screen's stream: %s",
                 spa_strerror(connected));
        KestrelPwClose(s);
        return NULL;
    }
    return s;
}

int KestrelPwState(KestrelPwStream* s, char* error, size_t errorSize) {
    pw_thread_loop_lock(s->loop);
    const int state = s->state;
    if (state < 0)
        snprintf(error, errorSize, "%s", s->ended);
    pw_thread_loop_unlock(s->loop);
    return state;
}

static int Shifts(enum spa_video_format format, KestrelPwFrame* frame) {
    for (size_t i = 0; i < sizeof FORMATS / sizeof FORMATS[0]; ++i) {
        if (FORMATS[i].Format == format) {
            frame->RedShift = FORMATS[i].RedShift;
            frame->GreenShift = FORMATS[i].GreenShift;
            frame->BlueShift = FORMATS[i].BlueShift;
            return 1;
        }
    }
    return 0;
}

int KestrelPwWithFrame(KestrelPwStream* s, int (*use)(const KestrelPwFrame*, void*), void* data) {
    int result = -1;
    pw_thread_loop_lock(s->loop);
    KestrelPwFrame frame = {0};
    if (s->kept != NULL && Shifts(s->keptFormat.format, &frame)) {
        const struct spa_data* d = &s->kept->buffer->datas[0];
        frame.Pixels = (const uint8_t*)d->data + d->chunk->offset;
        frame.Width = (int)s->keptFormat.size.width;
        frame.Height = (int)s->keptFormat.size.height;
        frame.Stride = d->chunk->stride > 0 ? d->chunk->stride : frame.Width * 4;
        if ((size_t)frame.Stride * (size_t)frame.Height <= d->chunk->size)
            result = use(&frame, data);
    }
    pw_thread_loop_unlock(s->loop);
    return result;
}

int KestrelPwPictured(KestrelPwStream* s) {
    pw_thread_loop_lock(s->loop);
    const int pictured = s->pictured;
    pw_thread_loop_unlock(s->loop);
    return pictured;
}

int KestrelPwSize(KestrelPwStream* s, int* width, int* height) {
    pw_thread_loop_lock(s->loop);
    const int kept = s->kept != NULL;
    if (kept) {
        *width = (int)s->keptFormat.size.width;
        *height = (int)s->keptFormat.size.height;
    }
    pw_thread_loop_unlock(s->loop);
    return kept;
}

int KestrelPwPointer(KestrelPwStream* s, int* x, int* y) {
    pw_thread_loop_lock(s->loop);
    const int known = s->pointerKnown;
    *x = s->pointerX;
    *y = s->pointerY;
    pw_thread_loop_unlock(s->loop);
    return known;
}

int KestrelPwSendsPointer(KestrelPwStream* s) {
    pw_thread_loop_lock(s->loop);
    const int sends = s->sendsPointer;
    pw_thread_loop_unlock(s->loop);
    return sends;
}

void KestrelPwClose(KestrelPwStream* s) {
    if (s == NULL)
        return;
    if (s->loop != NULL)
        pw_thread_loop_stop(s->loop);
    if (s->stream != NULL)
        pw_stream_destroy(s->stream);
    if (s->core != NULL)
        pw_core_disconnect(s->core);
    if (s->context != NULL)
        pw_context_destroy(s->context);
    if (s->loop != NULL)
        pw_thread_loop_destroy(s->loop);
    free(s);
}
