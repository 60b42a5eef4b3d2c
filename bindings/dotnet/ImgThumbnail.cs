// quintaro-imgthumbnail for .NET: one file to drop into a project. It needs
// the native library beside the program (quintaro-imgthumbnail.dll on
// Windows; libquintaro-imgthumbnail.so.1 where the loader finds it on Linux).
//
//   Quintaro.ImgThumbnail.Square("photo.jpg", "thumb.png", 160);
//   Quintaro.ImgThumbnail.Aspect("photo.jpg", "wide.jpg", 320, 2);   // 16:9
//   Quintaro.ImgThumbnail.Smart("photo.jpg", "crop.png", 200, 300);
//   Quintaro.ImgThumbnail.Batch("photos", "thumbs", 128);
//
// Each method returns when its thumbnail (for Batch: at least one) was
// written and throws ImgThumbnailException otherwise, whose Message is the
// library's own message, which also names the limits of sizes and of input
// images when a call goes past them. Ratios are the library's indices:
// 0 (1:1), 1 (4:3), 2 (16:9) and 3 (3:2), IMGTHUMBNAIL_RATIO_* in its header.
//
// Paths reach the library as narrow strings in the system's ANSI code page
// (on Linux, UTF-8): a name that code page cannot spell does not reach its
// file. The library keeps one last-error message per process, so every call
// of the process goes through one lock: threads may call, they take turns.
// For parallel work use processes.
using System;
using System.Runtime.InteropServices;

namespace Quintaro
{
    /// <summary>A call of the library failed; Message is the library's message.</summary>
    public class ImgThumbnailException : Exception
    {
        public ImgThumbnailException(string message) : base(message) { }
    }

    /// <summary>Thumbnails of image files through the native quintaro-imgthumbnail library.</summary>
    public static class ImgThumbnail
    {
        // Resolved by the runtime: quintaro-imgthumbnail.dll on Windows,
        // libquintaro-imgthumbnail.so on Linux (Mono adds prefix and suffix).
        const string Library = "quintaro-imgthumbnail";

        // One message per process: one caller at a time, and the message read
        // before the next call may replace it.
        static readonly object CallLock = new object();

        // The platform's standard calling convention (cdecl, which on 64-bit
        // Windows is the one convention); narrow strings in the ANSI code page.
        [DllImport(Library, EntryPoint = "imgthumbnail_square", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true, ExactSpelling = true)]
        static extern int NativeSquare(string input, string output, int size);

        [DllImport(Library, EntryPoint = "imgthumbnail_aspect", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true, ExactSpelling = true)]
        static extern int NativeAspect(string input, string output, int size, int ratio);

        [DllImport(Library, EntryPoint = "imgthumbnail_smart", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true, ExactSpelling = true)]
        static extern int NativeSmart(string input, string output, int width, int height);

        [DllImport(Library, EntryPoint = "imgthumbnail_batch", CallingConvention = CallingConvention.Cdecl,
                   CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true, ExactSpelling = true)]
        static extern int NativeBatch(string inputDir, string outputDir, int size);

        // The library owns the message: a string return type would make the
        // marshaller free it, so the pointer is read and copied instead.
        [DllImport(Library, EntryPoint = "imgthumbnail_last_error", CallingConvention = CallingConvention.Cdecl,
                   ExactSpelling = true)]
        static extern IntPtr NativeLastError();

        /// <summary>The largest centred square of input, scaled to size x size.</summary>
        public static void Square(string input, string output, int size)
        {
            lock (CallLock) Check(NativeSquare(input, output, size));
        }

        /// <summary>The largest centred region of ratio 0 (1:1), 1 (4:3), 2 (16:9) or 3 (3:2), scaled to size pixels wide.</summary>
        public static void Aspect(string input, string output, int size, int ratio)
        {
            lock (CallLock) Check(NativeAspect(input, output, size, ratio));
        }

        /// <summary>The width x height crop of input with the most detail.</summary>
        public static void Smart(string input, string output, int width, int height)
        {
            lock (CallLock) Check(NativeSmart(input, output, width, height));
        }

        /// <summary>A size x size square of every .png/.jpg/.jpeg/.bmp/.tga file directly inside inputDir, into outputDir.</summary>
        public static void Batch(string inputDir, string outputDir, int size)
        {
            lock (CallLock) Check(NativeBatch(inputDir, outputDir, size));
        }

        // Called with the lock held, right after the call.
        static void Check(int ok)
        {
            if (ok != 0) return;
            throw new ImgThumbnailException(Marshal.PtrToStringAnsi(NativeLastError()) ?? "");
        }
    }
}
